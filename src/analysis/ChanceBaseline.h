#pragma once

#include "FollowSearch.h"
#include "HistoryMirror.h"

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

// The range statistics of the result kind over the draws of the issue range, from the mirror.
// Kept while the mirror's draws do not change (its generation).
RangeStatistics rangeStatistics(const HistoryMirror& mirror, qint64 startIssue, qint64 endIssue,
                                int kind, const ValueBases& bases);
// The same for the history as it stands; nothing and the reason when it cannot be read.
std::optional<RangeStatistics> rangeStatistics(HistoryStore& store, qint64 startIssue,
                                               qint64 endIssue, int kind, const ValueBases& bases,
                                               QString* error);

// Holm's step-down correction over the p-values given; values without a p stay without one
// and do not count towards the family.
QVector<std::optional<double>> holmCorrected(const QVector<std::optional<double>>& p);

// The comparison of each bar's count (D follow draws out of the range's N) with chance.
QVector<FollowResult::Baseline> compareWithChance(const QVector<FollowResult::Bar>& bars,
                                                  qint64 followDraws, const RangeStatistics& range);

// The cells the CLI and the result grid's export add: expected (three decimals), ratio (three
// decimals), corrected p (four significant digits), "是" when marked; "—" where there is none.
QStringList baselineHeader();
QStringList baselineCells(const FollowResult::Baseline& b);
// Four significant digits, trailing zeros kept: 0.04210, 1.000, 3.142e-07.
QString significantText(double value);

} // namespace quorvex
