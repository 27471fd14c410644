#include "MaintenanceOutput.h"

namespace quorvex::cli {

namespace {

// Command3: deletes the newest draw, without asking.
class DeleteLastCommand : public Command {
public:
    QString name() const override { return QStringLiteral("delete-last"); }
    QString summary() const override {
        return QStringLiteral("Delete the newest draw and print it.");
    }

protected:
    void addOptions(QCommandLineParser&) override {}

    int run(const QCommandLineParser& parser, Context& context) override {
        if (const int status = expectPositional(parser, context, 0, 0))
            return status;
        HistoryStore* store = context.history();
        if (!store)
            return ExitFailure;
        return printMaintenanceReport(eraseLastDraw(*store), context);
    }
};

} // namespace

std::unique_ptr<Command> makeDeleteLastCommand() {
    return std::make_unique<DeleteLastCommand>();
}

} // namespace quorvex::cli
