#include "Command.h"

#include "import/HistoryUndo.h"

namespace quorvex::cli {

namespace {

// 撤销上次修改: puts back the history the newest copy holds, after keeping the current one.
class UndoCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("undo"); }
    QString summary() const override {
        return QStringLiteral("Put back the history as it was before the last change that "
                              "removed or replaced draws.");
    }

protected:
    void addOptions(QCommandLineParser&) override {}

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        const UndoReport report = undoLastChange(store);
        if (report.failed())
            return context.fail(report.error);
        context.out() << report.message() << '\n';
        return ExitSuccess;
    }
};

} // namespace

std::unique_ptr<Command> makeUndoCommand() {
    return std::make_unique<UndoCommand>();
}

} // namespace quorvex::cli
