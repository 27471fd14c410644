#include "Command.h"

namespace quorvex::cli {

namespace {

// The issue the next draw gets: the last stored issue plus one, or this year's first issue.
class NextIssueCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("next-issue"); }
    QString summary() const override {
        return QStringLiteral("Print the issue number the next draw gets.");
    }

protected:
    bool onlyReads() const override { return true; }
    void addOptions(QCommandLineParser&) override {}

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        QString error;
        const auto next = store.nextIssue(context.today(), &error);
        if (!next)
            return context.fail(error);
        context.out() << *next << '\n';
        return ExitSuccess;
    }
};

} // namespace

std::unique_ptr<Command> makeNextIssueCommand() {
    return std::make_unique<NextIssueCommand>();
}

} // namespace quorvex::cli
