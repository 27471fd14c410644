#include "SearchOptions.h"

namespace quorvex::cli {

namespace {

// Command1_Click: the follow search with the window's options.
class SearchCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("search"); }
    QString summary() const override {
        return QStringLiteral("Follow search: what came after draws like the reference draw.");
    }

protected:
    bool onlyReads() const override { return true; }
    void addOptions(QCommandLineParser& parser) override {
        addFormatOption(parser);
        addSearchOptions(parser);
    }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        format_ = gridFormat(parser, context);
        if (!format_)
            return ExitUsage;
        return options_.parse(parser, context, PositionUse::Ticked);
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        return runSearchCommand(options_, store, context, *format_,
                                [](SearchSession& session, const SearchRequest& request) {
                                    return session.runFollow(request);
                                });
    }

private:
    std::optional<GridFormat> format_;
    SearchOptions options_;
};

} // namespace

std::unique_ptr<Command> makeSearchCommand() {
    return std::make_unique<SearchCommand>();
}

} // namespace quorvex::cli
