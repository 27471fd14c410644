#include "ArgumentValues.h"
#include "SearchOptions.h"

#include "analysis/Backtest.h"
#include "presentation/BacktestGridTexts.h"
#include "session/UntilCurrent.h"

namespace quorvex::cli {

namespace {

const QString kOptCombo = QStringLiteral("combo");
const QString kOptLast = QStringLiteral("last");
const QString kOptTop = QStringLiteral("top");
const QString kOptSummary = QStringLiteral("summary");
// --top: more values than any kind has, still an int.
constexpr qint64 kMaxCount = 1000000;

// How a search configuration would have done on every issue of a range, searched as of each.
class BacktestCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("backtest"); }
    QString summary() const override {
        return QStringLiteral("Try the search on every issue of a range as it would have been "
                              "searched before it, against chance.");
    }

protected:
    bool onlyReads() const override { return true; }
    void addOptions(QCommandLineParser& parser) override {
        addFormatOption(parser);
        addSearchOptions(parser);
        parser.addOptions({
            {kOptCombo, QStringLiteral("Backtest the combination search over K positions (1..5)."),
             QStringLiteral("K")},
            {kOptLast, QStringLiteral("The issues of the last N draws stored (default 100)."),
             QStringLiteral("N")},
            {kOptTop,
             QStringLiteral("The first K values of the ranked tally are the forecast (default 3)."),
             QStringLiteral("K"), QStringLiteral("3")},
            {kOptSummary, QStringLiteral("Print the summary line alone.")},
        });
    }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        format_ = gridFormat(parser, context);
        if (!format_)
            return ExitUsage;
        for (const char* option : {"values", "verify", "before", "matches", "baseline"})
            if (parser.isSet(QLatin1String(option)))
                return context.usage(
                    QStringLiteral("--%1 has no place in a backtest: each issue is searched with "
                                   "the draw before it as reference")
                        .arg(QLatin1String(option)));
        if (parser.isSet(kOptCombo)) {
            const auto k = numberArgument(parser.value(kOptCombo), QStringLiteral("--combo"), 1,
                                          kPositions, context);
            if (!k)
                return ExitUsage;
            combo_ = int(*k);
        }
        const auto top =
            numberArgument(parser.value(kOptTop), QStringLiteral("--top"), 1, kMaxCount, context);
        if (!top)
            return ExitUsage;
        top_ = int(*top);
        std::optional<qint64> last;
        if (const int status = parseLastIssues(parser, context, &last); status != ExitSuccess)
            return status;
        last_ = int(last.value_or(0));
        summaryOnly_ = parser.isSet(kOptSummary);
        return options_.parse(parser, context, combo_ ? PositionUse::Ignored : PositionUse::Ticked);
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        SearchSession session(store, context.snapshot());
        session.setSettings(context.settings());
        QString error;
        std::optional<SearchRequest> request;
        SearchSession::BacktestRange range;
        range.lastIssues = last_ ? last_ : 100;
        range.from = options_.from;
        range.to = options_.to;
        // The options are applied in one read of the history; the backtest reads again briefly
        // and computes holding no lock (a writer beside a long backtest need not wait). A history
        // written in between is refused by the backtest and read afresh here.
        const auto outcome = untilCurrent([&]() -> std::optional<Gated<BacktestResult>> {
            {
                const HistoryStore::ReadSnapshot pinned(store);
                // --from and --to name the issues tried: the search's range starts where it
                // always does.
                if (!session.historyChanged(&error) || !options_.apply(session, &error) ||
                    (combo_ && !session.setCombinedPositions(QString::number(*combo_), &error)))
                    return std::nullopt;
                request = session.request(options_.positions);
            }
            return session.runBacktest(*request, combo_.has_value(), range, top_, {});
        });
        if (!outcome)
            return context.fail(error);
        if (!*outcome)
            return sayRefusal(context, outcome->refusal());
        return print(**outcome, *request, context);
    }

private:
    int print(const BacktestResult& result, const SearchRequest& request, Context& context) const {
        if (!summaryOnly_)
            printGrid(context.out(), grid(result, request), *format_);
        if (summaryOnly_ || *format_ == GridFormat::Table)
            context.out() << backtestSummary(result) << '\n';
        return ExitSuccess;
    }

    static Grid grid(const BacktestResult& result, const SearchRequest& r) {
        Grid g;
        g.header = backtestGridHeader();
        g.rows = backtestGridRows(result, r.intXianshiLei, r.bases.sxIni);
        return g;
    }

    std::optional<GridFormat> format_;
    SearchOptions options_;
    std::optional<int> combo_;
    int top_ = 3;
    int last_ = 0;
    bool summaryOnly_ = false;
};

} // namespace

std::unique_ptr<Command> makeBacktestCommand() {
    return std::make_unique<BacktestCommand>();
}

} // namespace quorvex::cli
