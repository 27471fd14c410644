#pragma once

#include "SearchRequest.h"

#include "store/HistorySnapshot.h"

#include <QVector>

#include <functional>
#include <optional>

namespace quorvex {

// A search configuration tried on every issue of a range, as it would have been searched just
// before each: the options, the search range's first issue (startIssue) and the ticked
// positions come from search; its reference values and last issue are set per issue.
struct BacktestRequest {
    SearchRequest search;
    int combinedPositions = 0; // 0: the follow search; 1..5: the combination search over k
    qint64 firstIssue = 0;     // the issues tried
    qint64 lastIssue = 0;
    int topK = 3; // the values of the ranked tally that count as the forecast
};

// One issue tried.
struct BacktestRow {
    qint64 issue = 0;
    qint64 followDraws = 0;
    QVector<int> top;                    // the first K values of the ranked tally
    std::array<int, kPositions> drawn{}; // the issue's own values of the result kind
    int hits = 0;                        // how many of them are among the top values
    double expected = 0;                 // hits a fair draw gives on average
    double variance = 0;
};

// Every issue tried and the totals against a fair draw: five different numbers of 1..15, each
// issue's values under its own year's zodiac mapping and the request's bases.
struct BacktestResult {
    QVector<BacktestRow> rows;
    qint64 hits = 0;
    double expected = 0;
    double variance = 0;
    std::optional<double> ratio; // hits / expected
    std::optional<double> z;
    std::optional<double> p; // one-sided: doing better than chance
};

// The snapshot columns a backtest of the request reads.
QVector<int> backtestColumns(const BacktestRequest& request);

// Checks a backtest request: a valid search, k and K, typed reference values refused (they
// belong to no issue), a range that does not end before it starts.
bool validateBacktest(const BacktestRequest& request, QString* error);
// Only the range: the issues tried are known once the history is read.
bool validateBacktestRange(const BacktestRequest& request, QString* error);

// Runs the backtest on a snapshot holding backtestColumns(request). For each issue t of the
// range: the reference values and the search's last issue as a verification of t with "only
// before" sets them; an issue without such a reference draw is left out. The answers are
// exactly those of the ordinary searches. The request is one validateBacktest accepts.
// progress(done, total) is called now and then; when it returns false the backtest stops and
// gives nothing.
std::optional<BacktestResult>
runBacktest(const HistorySnapshot& snapshot, const BacktestRequest& request,
            const std::function<bool(qsizetype done, qsizetype total)>& progress);

} // namespace quorvex
