#include "ArgumentValues.h"
#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// mnuEszhzd: drops the last N issue numbers (counted on issues, not rows) and rebuilds the rest.
class DropLastCommand : public DatabaseCommand {
public:
    DropLastCommand() : DatabaseCommand(1, 1) {}
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

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        count_ = positiveArgument(parser.positionalArguments().constFirst(), QStringLiteral("N"),
                                  context);
        return count_ ? ExitSuccess : ExitUsage;
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        const Settings settings = context.settings();
        return printMaintenanceReport(dropLastIssues(store, context.folder(), *count_,
                                                     ValueBases{settings.SxIni, settings.DsIni}),
                                      context);
    }

private:
    std::optional<qint64> count_;
};

} // namespace

std::unique_ptr<Command> makeDropLastCommand() {
    return std::make_unique<DropLastCommand>();
}

} // namespace quorvex::cli
