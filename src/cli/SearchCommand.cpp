#include "SearchOptions.h"

namespace quorvex::cli {

namespace {

// Command1_Click: the follow search with the window's options.
class SearchCommand : public Command {
public:
    QString name() const override { return QStringLiteral("search"); }
    QString summary() const override {
        return QStringLiteral("Follow search: what came after draws like the reference draw.");
    }

protected:
    void addOptions(QCommandLineParser& parser) override {
        addFormatOption(parser);
        addSearchOptions(parser);
    }

    int run(const QCommandLineParser& parser, Context& context) override {
        const auto format = gridFormat(parser, context);
        if (!format)
            return ExitUsage;
        if (const int status = expectPositional(parser, context, 0, 0))
            return status;
        return runSearchCommand(parser, context, *format, PositionUse::Ticked, &runFollowSearch);
    }
};

} // namespace

std::unique_ptr<Command> makeSearchCommand() {
    return std::make_unique<SearchCommand>();
}

} // namespace quorvex::cli
