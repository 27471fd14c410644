#include "Command.h"

#include "import/TextImport.h"

#include <QDir>
#include <QFileInfo>

namespace quorvex::cli {

namespace {

// cmdRdLst: replaces the whole history with the draws of a history text file, after saving the
// history it replaces.
class ImportCommand : public DatabaseCommand {
public:
    ImportCommand() : DatabaseCommand(1, 1) {}
    QString name() const override { return QStringLiteral("import"); }
    QString summary() const override {
        return QStringLiteral("Replace the history with the draws of a history text file.");
    }

protected:
    bool storesDraws() const override { return true; }
    void addOptions(QCommandLineParser& parser) override {
        parser.addPositionalArgument(QStringLiteral("file"),
                                     QStringLiteral("The history text file."),
                                     QStringLiteral("FILE"));
        parser.addOption({QStringLiteral("skip-bad-lines"),
                          QStringLiteral("Import a file with lines that cannot be read as written "
                                         "or holes between its issues, leaving those lines out.")});
    }

    int runOn(HistoryStore& store, const QCommandLineParser& parser, Context& context) override {
        const QString path =
            QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
        const Settings settings = context.settings();
        const ImportPlan plan = planImport(store, path);
        const ImportReport report =
            importHistory(store, plan, ValueBases{settings.SxIni, settings.DsIni}, nullptr,
                          parser.isSet(QStringLiteral("skip-bad-lines")) ? ImportFaults::Accept
                                                                         : ImportFaults::Refuse);
        if (report.refusedFaults) {
            context.out() << plan.faults() << '\n';
            return context.fail(QStringLiteral("%1 not imported, the history is unchanged: some "
                                               "lines cannot be read as written or issues are "
                                               "missing between its draws (listed above); "
                                               "--skip-bad-lines imports the rest")
                                    .arg(QDir::toNativeSeparators(path)));
        }
        if (!report.replaced && !report.unchanged) {
            // The lines that made the file unusable, then the one reason on stderr.
            for (const LineProblem& p : report.problems)
                context.out() << p.describe() << '\n';
            return context.fail(QStringLiteral("%1 not imported, the history is unchanged: %2")
                                    .arg(QDir::toNativeSeparators(path), report.error));
        }
        context.out() << report.summary(int(report.problems.size())) << '\n';
        return ExitSuccess;
    }
};

} // namespace

std::unique_ptr<Command> makeImportCommand() {
    return std::make_unique<ImportCommand>();
}

} // namespace quorvex::cli
