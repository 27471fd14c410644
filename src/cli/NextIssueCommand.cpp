#include "Command.h"

namespace quorvex::cli {

namespace {

// The issue the next draw gets: the last stored issue plus one, or this year's first issue.
class NextIssueCommand : public Command {
public:
    QString name() const override { return QStringLiteral("next-issue"); }
    QString summary() const override {
        return QStringLiteral("Print the issue number the next draw gets.");
    }

protected:
    void addOptions(QCommandLineParser&) override {}

    int run(const QCommandLineParser& parser, Context& context) override {
        if (const int status = expectPositional(parser, context, 0, 0))
            return status;
        HistoryStore* store = context.readHistory();
        if (!store)
            return ExitFailure;
        QString error;
        const auto next = store->nextIssue(context.today(), &error);
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
