#include "SearchOptions.h"

#include "analysis/FairOmission.h"
#include "presentation/TrendGridTexts.h"
#include "session/SearchGate.h"
#include "session/UntilCurrent.h"

namespace quorvex::cli {

namespace {

const QString kOptKind = QStringLiteral("kind");
const QString kOptLast = QStringLiteral("last");
const QString kOptFrom = QStringLiteral("from");
const QString kOptTo = QStringLiteral("to");
const QString kOptSummary = QStringLiteral("summary");

// Which values of a kind came in each issue of a range and how long each has been missing, or
// per value the summary beside what a fair draw gives.
class TrendCommand : public DatabaseCommand {
public:
    QString name() const override { return QStringLiteral("trend"); }
    QString summary() const override {
        return QStringLiteral("Print the trend of a kind: each issue's values and omissions, or "
                              "per value the summary against chance.");
    }

protected:
    bool onlyReads() const override { return true; }
    void addOptions(QCommandLineParser& parser) override {
        addFormatOption(parser);
        parser.addOptions({
            {kOptKind,
             QStringLiteral("Kind: number, zodiac, head, tail, sum, segment or 0..5 (default "
                            "number)."),
             QStringLiteral("KIND"), QStringLiteral("number")},
            {kOptLast, QStringLiteral("The issues of the last N draws stored (default: all)."),
             QStringLiteral("N")},
            {kOptFrom, QStringLiteral("First issue of the range (default: the first)."),
             QStringLiteral("ISSUE")},
            {kOptTo, QStringLiteral("Last issue of the range (default: the last)."),
             QStringLiteral("ISSUE")},
            {kOptSummary, QStringLiteral("Print one row per value: the counts and omissions, and "
                                         "what a fair draw gives.")},
        });
    }

    int checkArguments(const QCommandLineParser& parser, Context& context) override {
        format_ = gridFormat(parser, context);
        if (!format_)
            return ExitUsage;
        const auto kind = kindOption(parser, kOptKind, context);
        if (!kind)
            return ExitUsage;
        kind_ = *kind;
        if (const int status = parseLastIssues(parser, context, &range_.lastIssues);
            status != ExitSuccess)
            return status;
        summaryOnly_ = parser.isSet(kOptSummary);
        return parseIssueBounds(parser, context, &range_.from, &range_.to);
    }

    int runOn(HistoryStore& store, const QCommandLineParser&, Context& context) override {
        // The trend reads no option of a search: the gate alone, on the history as it stands.
        SearchGate gate(store, context.snapshot());
        const Settings settings = context.settings();
        ZodiacYear years;
        QString error;
        // A history written between the context's read and the trend's is read afresh.
        const auto trend = untilCurrent([&]() -> std::optional<Gated<TrendFigures>> {
            const auto run =
                currentRunContext(store, {settings.SxIni, settings.DsIni}, &years, &error);
            if (!run)
                return std::nullopt;
            return gate.trend(kind_, range_, *run);
        });
        if (!trend)
            return context.fail(error);
        if (!*trend)
            return sayRefusal(context, trend->refusal());
        return print(**trend, context);
    }

private:
    int print(const TrendFigures& trend, Context& context) const {
        Grid grid;
        if (summaryOnly_) {
            grid.header = trendSummaryHeader();
            grid.rows = trendSummaryRows(trend, fairOmission(trend));
            if (*format_ == GridFormat::Table)
                context.out() << trendSummaryCaption(trend) << '\n';
        } else {
            grid.header = trendGridHeader(trend);
            grid.rows = GridRows(trend.rows(),
                                 [&trend](qsizetype row) { return trendGridRow(trend, row); });
        }
        printGrid(context.out(), grid, *format_);
        return ExitSuccess;
    }

    std::optional<GridFormat> format_;
    int kind_ = Number;
    SearchGate::TrendRange range_;
    bool summaryOnly_ = false;
};

} // namespace

std::unique_ptr<Command> makeTrendCommand() {
    return std::make_unique<TrendCommand>();
}

} // namespace quorvex::cli
