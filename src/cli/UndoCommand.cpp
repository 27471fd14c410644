#include "Command.h"

#include "changes/HistoryUndo.h"

namespace quorvex::cli {

namespace {

// undo, undo --list and redo: one step of the history of changes back or forward, or the steps.
class StepCommand : public DatabaseCommand {
public:
    explicit StepCommand(bool redo) : redo_(redo) {}
    QString name() const override {
        return redo_ ? QStringLiteral("redo") : QStringLiteral("undo");
    }
    QString summary() const override {
        return redo_ ? QStringLiteral("Make again the change the last undo took back.")
                     : QStringLiteral("Take back the last change of the stored draws (--list: "
                                      "the changes, newest first).");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        if (!redo_)
            parser.addOption({QStringLiteral("list"),
                              QStringLiteral("List the changes, newest first, and which one undo "
                                             "and redo take next; change nothing.")});
    }
    int checkArguments(const QCommandLineParser& parser, Context&) override {
        list_ = !redo_ && parser.isSet(QStringLiteral("list"));
        return ExitSuccess;
    }
    bool onlyReads() const override { return list_; }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        if (list_)
            return printList(store, context);
        const UndoReport report = redo_ ? redoStep(store) : undoStep(store);
        if (report.failed())
            return context.fail(report.error);
        context.out() << report.message() << '\n';
        return ExitSuccess;
    }

private:
    // A line a step: its time, its name, and what undo or redo does to it next.
    static int printList(HistoryStore& store, Context& context) {
        QString why;
        const auto steps = listSteps(store, &why);
        if (!steps)
            return context.fail(why);
        if (steps->isEmpty()) {
            context.out() << QStringLiteral("没有记下的修改。") << '\n';
            return ExitSuccess;
        }
        const ChangeStep* undo = nextUndo(*steps);
        const ChangeStep* redo = nextRedo(*steps);
        for (const ChangeStep& s : *steps) {
            QString mark = s.undone ? QStringLiteral("已撤销") : QStringLiteral("      ");
            QString line =
                copyTimeText(s.taken) + QStringLiteral("  ") + mark + QStringLiteral("  ") + s.name;
            if (&s == undo)
                line += QStringLiteral("  ← 下一次撤销");
            if (&s == redo)
                line += QStringLiteral("  ← 下一次重做");
            context.out() << line << '\n';
        }
        return ExitSuccess;
    }

    bool redo_;
    bool list_ = false;
};

} // namespace

std::unique_ptr<Command> makeUndoCommand() {
    return std::make_unique<StepCommand>(false);
}

std::unique_ptr<Command> makeRedoCommand() {
    return std::make_unique<StepCommand>(true);
}

} // namespace quorvex::cli
