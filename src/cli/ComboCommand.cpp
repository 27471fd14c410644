#include "ArgumentValues.h"
#include "SearchOptions.h"

namespace quorvex::cli {

namespace {

// Command2_Click: draws whose earlier draw matches the reference in any k of the five positions.
class ComboCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("combo"); }
    QString summary() const override {
        return QStringLiteral(
            "Combination search: follow draws matching the reference in any K positions.");
    }

protected:
    bool onlyReads() const override { return true; }
    void addOptions(QCommandLineParser& parser) override {
        addFormatOption(parser);
        parser.addOption(QCommandLineOption(
            QStringLiteral("k"), QStringLiteral("Number of combined positions, 1..5 (default 2)."),
            QStringLiteral("K"), QStringLiteral("2")));
        addSearchOptions(parser);
    }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        format_ = gridFormat(parser, context);
        if (!format_)
            return ExitUsage;
        const auto k = numberArgument(parser.value(QStringLiteral("k")), QStringLiteral("--k"), 1,
                                      kPositions, context);
        if (!k)
            return ExitUsage;
        k_ = QString::number(*k);
        return options_.parse(parser, context, PositionUse::Ignored);
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        const QString k = k_;
        return runSearchCommand(options_, store, context, *format_,
                                [k](SearchSession& session, const SearchRequest& request) {
                                    return runCombinationOver(session, k, request);
                                });
    }

private:
    std::optional<GridFormat> format_;
    QString k_;
    SearchOptions options_;
};

} // namespace

std::unique_ptr<Command> makeComboCommand() {
    return std::make_unique<ComboCommand>();
}

} // namespace quorvex::cli
