#include "Backtest.h"

#include "ChanceBaseline.h"
#include "FollowMatching.h"
#include "ResultTally.h"

#include "draw/ZodiacTables.h"

#include <algorithm>
#include <bit>
#include <bitset>
#include <cmath>
#include <limits>
#include <numeric>

namespace quorvex {

namespace {

// What the scans read, per row of the snapshot as a follow draw, prepared once for all issues.
struct Prepared {
    std::vector<Tokens> tokens;                         // free: those of the row's lists (listRow)
    std::vector<std::array<int, kPositions>> earlier;   // fixed: the search kind the lag before
    std::vector<std::array<quint8, kPositions>> result; // the result kind: offsets from lo, or
                                                        // kOutside for a value outside the kind
};
constexpr quint8 kOutside = 16;

Prepared prepare(const HistorySnapshot& s, const SearchRequest& r, const ValueRange& values) {
    Prepared p;
    const auto rows = std::size_t(s.rows());
    if (r.bolZyw) {
        const auto& own = s.tokens(r.intLei);
        p.tokens.resize(rows);
        for (std::size_t i = 0; i < rows; ++i) {
            const qsizetype list = listRow(qsizetype(i), r);
            p.tokens[i] = list < 0 ? Tokens() : own[std::size_t(list)];
        }
    } else {
        p.earlier.resize(rows);
        for (std::size_t i = 0; i < rows; ++i)
            for (int pos = 1; pos <= kPositions; ++pos)
                p.earlier[i][pos - 1] = earlierValue(s, qsizetype(i), pos, r);
    }
    p.result.resize(rows);
    for (std::size_t i = 0; i < rows; ++i)
        for (int pos = 1; pos <= kPositions; ++pos) {
            const int v = s.value(HistorySnapshot::attribute(pos, r.intXianshiLei), qsizetype(i));
            p.result[i][pos - 1] = values.contains(v) ? quint8(v - values.lo) : kOutside;
        }
    return p;
}

// How many of the numbers 1..15 have one of the values (all in the kind's range) under the
// issue's own year mapping. The zodiac year is kept across issues: its cut-offs are worked out
// once a year.
int numbersWithValues(qint64 issue, const SearchRequest& r, const QVector<int>& values,
                      ZodiacYear& zodiacYear) {
    zodiacYear.followIssue(issue);
    const QVector<int> m = numbersPerValue(r.intXianshiLei, zodiacYear, r.bases);
    const int lo = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni).lo;
    int total = 0;
    for (const int v : values)
        total += m[v - lo];
    return total;
}

} // namespace

QVector<int> backtestColumns(const BacktestRequest& request) {
    QVector<int> columns = searchColumns(request.search);
    for (int p = 1; p <= kPositions; ++p)
        columns << HistorySnapshot::attribute(p, request.search.intLei);
    return columns;
}

bool validateBacktest(const BacktestRequest& request, QString* error) {
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (request.search.bolManual)
        return refuse(QStringLiteral("手动输入的参考号码不属于任何一期，不能回测；请在自动历史位"
                                     "或验证指定期回测，每一期都以它前面的一期为参考。"));
    SearchRequest check = request.search;
    check.endIssue = check.startIssue;
    if (!validateRequest(check, error) ||
        (request.combinedPositions != 0 &&
         !validateCombinedPositions(request.combinedPositions, error)))
        return false;
    if (request.topK < 1)
        return refuse(QStringLiteral("前K个的K必须是正整数，当前为%1。").arg(request.topK));
    return validateBacktestRange(request, error);
}

bool validateBacktestRange(const BacktestRequest& request, QString* error) {
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (request.firstIssue > request.lastIssue)
        return refuse(QStringLiteral("回测的起始期号 %1 在截止期号 %2 之后。")
                          .arg(request.firstIssue)
                          .arg(request.lastIssue));
    return true;
}

std::optional<BacktestResult>
runBacktest(const HistorySnapshot& s, const BacktestRequest& request,
            const std::function<bool(qsizetype, qsizetype)>& progress) {
    const bool combination = request.combinedPositions != 0;
    const int k = request.combinedPositions;
    SearchRequest r = request.search;
    if (combination)
        r.bolPosSel.fill(true);
    const ValueRange values = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    const Prepared prepared = prepare(s, r, values);
    int ticked = 0;
    for (const bool t : r.bolPosSel)
        ticked += t ? 1 : 0;

    BacktestResult result;
    const auto [first, last] = s.rowsBetween(request.firstIssue, request.lastIssue);
    const qint64 lag = r.bolSq ? 0 : r.intPreQi - 1;
    QVector<qint64> counts(values.count());
    ZodiacYear zodiacYear;
    for (qsizetype at = first; at < last; ++at) {
        if (progress && (at - first) % 16 == 0 && !progress(at - first, last - first))
            return std::nullopt;
        // A verification of this issue: the last draw up to the issue before it ends
        // the search, the reference draw lies the lag before that.
        const qint64 issue = s.issue(at);
        const auto target = issueBefore(QString::number(issue));
        if (!target)
            continue;
        const qsizetype end = s.rowsBetween(std::numeric_limits<qint64>::min(), *target).second;
        const qsizetype reference = end - 1 - lag;
        const qsizetype begin = end > 0 ? s.rowsBetween(r.startIssue, s.issue(end - 1)).first : 0;
        if (reference < 0 || begin >= end || r.startIssue > s.issue(end - 1))
            continue;
        RefValues ref{};
        for (int p = 1; p <= kPositions; ++p)
            ref[p - 1] = s.value(HistorySnapshot::attribute(p, r.intLei), reference);

        BacktestRow row;
        row.issue = issue;
        std::array<qint64, kOutside + 1> tally{};
        const auto tokens = r.bolZyw ? referenceTokens(r, ref, combination) : Tokens();
        const Tokens need = tokens.value_or(Tokens());
        const bool none = !tokens; // a token no text holds: only an empty need matches
        const int wanted = combination ? k : ticked;
        for (qsizetype j = begin; j < end; ++j) {
            bool match;
            if (r.bolZyw) {
                const Tokens& held = prepared.tokens[std::size_t(j)];
                match = !none &&
                        (combination ? held.common(need) >= k : ticked == 0 || held.holds(need));
            } else {
                int agreeing = 0;
                const auto& earlier = prepared.earlier[std::size_t(j)];
                for (int p = 0; p < kPositions; ++p)
                    agreeing += r.bolPosSel[p] && earlier[p] == ref[p] ? 1 : 0;
                match = agreeing >= wanted;
            }
            if (!match)
                continue;
            ++row.followDraws;
            for (const quint8 v : prepared.result[std::size_t(j)])
                ++tally[v];
        }
        for (int v = 0; v < values.count(); ++v)
            counts[v] = tally[std::size_t(v)];
        row.top = rankedValues(counts, values.lo).mid(0, request.topK);
        for (int p = 1; p <= kPositions; ++p) {
            row.drawn[p - 1] = s.value(HistorySnapshot::attribute(p, r.intXianshiLei), at);
            row.hits += row.top.contains(row.drawn[p - 1]) ? 1 : 0;
        }
        const double share = numbersWithValues(issue, r, row.top, zodiacYear) / 15.0;
        row.expected = kPositions * share;
        row.variance = kPositions * share * (1 - share) * (10.0 / 14.0);
        result.hits += row.hits;
        result.expected += row.expected;
        result.variance += row.variance;
        result.rows.append(std::move(row));
    }
    if (result.expected > 0)
        result.ratio = double(result.hits) / result.expected;
    if (result.variance > 0) {
        result.z = (double(result.hits) - result.expected) / std::sqrt(result.variance);
        result.p = 0.5 * std::erfc(*result.z / std::sqrt(2.0));
    }
    return result;
}

} // namespace quorvex
