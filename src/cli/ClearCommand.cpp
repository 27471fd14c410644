#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// mnuClear: deletes every draw; --yes stands for the window's confirmation.
class ClearCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("clear"); }
    QString summary() const override {
        return QStringLiteral("Delete every draw (needs --yes) and print them.");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        parser.addOption(QCommandLineOption(QStringLiteral("yes"),
                                            QStringLiteral("Confirm that every draw goes.")));
    }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        if (!parser.isSet(QStringLiteral("yes")))
            return context.usage(
                QStringLiteral("clear deletes every draw; add --yes to confirm; nothing changed"));
        return ExitSuccess;
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        return printMaintenanceReport(clearHistory(store), context);
    }
};

} // namespace

std::unique_ptr<Command> makeClearCommand() {
    return std::make_unique<ClearCommand>();
}

} // namespace quorvex::cli
