#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// mnuEszhzd: drops the last N issue numbers (counted on issues, not rows) and rebuilds the rest.
class DropLastCommand : public Command {
public:
    QString name() const override { return QStringLiteral("drop-last"); }
    QString summary() const override {
        return QStringLiteral("Delete the last N issues, rebuild the rest, print the deleted.");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        parser.addPositionalArgument(QStringLiteral("count"),
                                     QStringLiteral("How many issue numbers to take off the end."),
                                     QStringLiteral("N"));
    }

    int run(const QCommandLineParser& parser, Context& context) override {
        if (const int status = expectPositional(parser, context, 1, 1))
            return status;
        const auto count = positiveArgument(parser.positionalArguments().constFirst(),
                                            QStringLiteral("N"), context);
        if (!count)
            return ExitUsage;
        const Settings settings = context.settings();
        HistoryStore* store = context.history();
        if (!store)
            return ExitFailure;
        return printMaintenanceReport(dropLastIssues(*store, context.folder(), *count,
                                                     ValueBases{settings.SxIni, settings.DsIni}),
                                      context);
    }
};

} // namespace

std::unique_ptr<Command> makeDropLastCommand() {
    return std::make_unique<DropLastCommand>();
}

} // namespace quorvex::cli
