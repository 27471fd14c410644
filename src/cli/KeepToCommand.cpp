#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// mnuDlzd: keeps the draws up to an issue and rebuilds them with the current bases.
class KeepToCommand : public Command {
public:
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

    int run(const QCommandLineParser& parser, Context& context) override {
        if (const int status = expectPositional(parser, context, 1, 1))
            return status;
        const auto issue = positiveArgument(parser.positionalArguments().constFirst(),
                                            QStringLiteral("ISSUE"), context);
        if (!issue)
            return ExitUsage;
        const Settings settings = context.settings();
        HistoryStore* store = context.history();
        if (!store)
            return ExitFailure;
        return printMaintenanceReport(keepToIssue(*store, context.folder(), *issue,
                                                  ValueBases{settings.SxIni, settings.DsIni}),
                                      context);
    }
};

} // namespace

std::unique_ptr<Command> makeKeepToCommand() {
    return std::make_unique<KeepToCommand>();
}

} // namespace quorvex::cli
