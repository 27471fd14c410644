#include "Command.h"

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

    int runOn(HistoryStore& store, const QCommandLineParser& parser, Context& context) override {
        const QStringList args = parser.positionalArguments();
        const QString file = args.isEmpty() ? QString() : QDir().absoluteFilePath(args.first());
        QString error;
        const auto written = exportHistoryText(store, context.folder(), &error, file);
        if (!written)
            return context.fail(error);
        context.out() << QDir::toNativeSeparators(*written) << '\n';
        return ExitSuccess;
    }
};

} // namespace

std::unique_ptr<Command> makeExportTextCommand() {
    return std::make_unique<ExportTextCommand>();
}

} // namespace quorvex::cli
