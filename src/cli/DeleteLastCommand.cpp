#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// Command3: deletes the newest draw, without asking.
class DeleteLastCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("delete-last"); }
    QString summary() const override {
        return QStringLiteral("Delete the newest draw and print it.");
    }

protected:
    void addOptions(QCommandLineParser&) override {}

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        return printMaintenanceReport(eraseLastDraw(store), context);
    }
};

} // namespace

std::unique_ptr<Command> makeDeleteLastCommand() {
    return std::make_unique<DeleteLastCommand>();
}

} // namespace quorvex::cli
