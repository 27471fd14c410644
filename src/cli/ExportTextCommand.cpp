#include "ArgumentValues.h"

#include "export/HistoryTextExport.h"

#include <QDir>

namespace quorvex::cli {

namespace {

// Command4: the history as a text file the import reads back.
class ExportTextCommand : public DatabaseCommand {
public:
    ExportTextCommand() : DatabaseCommand(0, 1) {}
    QString name() const override { return QStringLiteral("export-text"); }
    QString summary() const override {
        return QStringLiteral("Write the history as a text file (更新至…期历史号码.txt).");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        parser.addPositionalArgument(
            QStringLiteral("FILE"),
            QStringLiteral("File to write (default: 更新至<last issue>期历史号码.txt in the "
                           "program's folder)."),
            QStringLiteral("[FILE]"));
    }

    bool onlyReads() const override { return true; }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        const QStringList args = parser.positionalArguments();
        if (args.isEmpty())
            return ExitSuccess;
        const auto file = outputFileArgument(args.first(), QStringLiteral("FILE"), context);
        if (!file)
            return ExitUsage;
        file_ = *file;
        return ExitSuccess;
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        QString error;
        const auto written = exportHistoryText(store, context.folder(), &error, file_);
        if (!written)
            return context.fail(error);
        context.out() << QDir::toNativeSeparators(*written) << '\n';
        return ExitSuccess;
    }

private:
    QString file_; // empty: the default name in the program's folder
};

} // namespace

std::unique_ptr<Command> makeExportTextCommand() {
    return std::make_unique<ExportTextCommand>();
}

} // namespace quorvex::cli
