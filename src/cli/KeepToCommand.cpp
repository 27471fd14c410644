#include "ArgumentValues.h"
#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// mnuDlzd: keeps the draws up to an issue and rebuilds them with the current bases.
class KeepToCommand : public DatabaseCommand {
public:
    KeepToCommand() : DatabaseCommand(1, 1) {}
    QString name() const override { return QStringLiteral("keep-to"); }
    QString summary() const override {
        return QStringLiteral("Delete the draws after ISSUE, rebuild the rest, print the deleted.");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        parser.addPositionalArgument(QStringLiteral("issue"),
                                     QStringLiteral("The last issue the history keeps."),
                                     QStringLiteral("ISSUE"));
    }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        issue_ = positiveArgument(parser.positionalArguments().constFirst(),
                                  QStringLiteral("ISSUE"), context);
        return issue_ ? ExitSuccess : ExitUsage;
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        const Settings settings = context.settings();
        return printMaintenanceReport(keepToIssue(store, context.folder(), *issue_,
                                                  ValueBases{settings.SxIni, settings.DsIni}),
                                      context);
    }

private:
    std::optional<qint64> issue_;
};

} // namespace

std::unique_ptr<Command> makeKeepToCommand() {
    return std::make_unique<KeepToCommand>();
}

} // namespace quorvex::cli
