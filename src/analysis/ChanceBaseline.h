#pragma once

#include "FollowResult.h"
#include "SearchRequest.h"

#include "history/HistorySnapshot.h"

#include <QVector>

#include <optional>

namespace quorvex {

// How often each value of a kind turns up per draw over the draws of an issue range: the count
// of a draw is how many of its five positions hold the value.
struct RangeStatistics {
    qint64 draws = 0;         // N
    QVector<double> mean;     // per value, in value order
    QVector<double> variance; // population variance (squared deviations / N)
};

// Follow draws below this count get no test: the normal approximation is too rough there.
constexpr qint64 kFewestTestedDraws = 20;
// A value is marked when its Holm-corrected p lies below this.
constexpr double kMarkLevel = 0.01;

// The range statistics of a kind over the draws of an issue range; the snapshot must hold the
// kind's five attribute columns.
RangeStatistics rangeStatistics(const HistorySnapshot& snapshot, qint64 startIssue, qint64 endIssue,
                                int kind, const ValueBases& bases);

// Holm's step-down correction over the p-values given; values without a p stay without one
// and do not count towards the family.
QVector<std::optional<double>> holmCorrected(const QVector<std::optional<double>>& p);

// The comparison of each bar's count (D follow draws out of the range's N) with chance.
QVector<FollowResult::Baseline> compareWithChance(const QVector<FollowResult::Bar>& bars,
                                                  qint64 followDraws, const RangeStatistics& range);

// Sets the result's baseline: its bars against the request's issue range, result kind and bases.
void addBaseline(FollowResult& result, const HistorySnapshot& snapshot,
                 const SearchRequest& request);

// The cells the CLI and the result grid's export add: expected (three decimals), ratio (three
// decimals), corrected p (four significant digits), "是" when marked; "—" where there is none.
QStringList baselineHeader();
QStringList baselineCells(const FollowResult::Baseline& b);
// Four significant digits, trailing zeros kept: 0.04210, 1.000, 3.142e-07.
QString significantText(double value);

} // namespace quorvex
