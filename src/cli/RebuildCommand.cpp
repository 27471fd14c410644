#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// Derives every stored draw afresh with the zodiac and segment bases of the settings.
class RebuildCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("rebuild"); }
    QString summary() const override {
        return QStringLiteral(
            "Derive every draw afresh with the current zodiac and segment bases.");
    }

protected:
    void addOptions(QCommandLineParser&) override {}

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        const Settings settings = context.settings();
        return printMaintenanceReport(
            rebuildHistory(store, context.folder(), ValueBases{settings.SxIni, settings.DsIni}),
            context);
    }
};

} // namespace

std::unique_ptr<Command> makeRebuildCommand() {
    return std::make_unique<RebuildCommand>();
}

} // namespace quorvex::cli
