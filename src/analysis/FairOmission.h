#pragma once

#include "TrendFigures.h"

#include <QVector>

#include <vector>

namespace quorvex {

// What a fair draw (five different numbers of 1..15, uniform, independent of the draws before
// it) gives the trend of each value, under each draw's own zodiac year and the trend's bases.

// The chance that a fair draw misses a value that m of the 15 numbers have: C(15 - m, 5) /
// C(15, 5).
double absentChance(int m);

// A stretch of consecutive draws that each miss a value with the same chance.
struct AbsentRun {
    qint64 draws = 0;
    double chance = 1;
};

// The expected longest run of consecutive misses over the draws, each missing independently
// with the chance of its stretch: the sum over k of P(longest >= k), each P from the chain of the
// current run of misses, until it falls below 1e-12. Chances lie in [0, 1]. Exact to about 1e-13
// relative: a chain that has settled inside a long stretch is carried to its end in one step.
double expectedLongestMissRun(const std::vector<AbsentRun>& runs);

struct FairValueFigures {
    double expectedTimes = 0;           // sum over the draws of 1 - q
    double expectedLongestOmission = 0; // of a range of these draws
    // The chance of missing it in every draw of its current omission: the product of q over
    // them, 1 when it came in the last draw.
    double currentOmissionChance = 1;
};

// How many of the 15 numbers have each value (m, in value order) in each year span of the trend.
std::vector<QVector<int>> spanNumbersPerValue(const TrendFigures& trend);

// How unusual each cell of a trend is under a fair draw: the chance that the value stays away
// as many draws in a row as it has at that row.
class OmissionOdds {
public:
    // The trend must outlive it.
    explicit OmissionOdds(const TrendFigures& trend);
    // The product of the chances of missing the value over the draws of its running omission at
    // the row; 1 where it came.
    double chance(qsizetype row, int value) const;
    // 0 where the value came; 1 for an omission a fair draw gives at least once in ten, 2 at
    // least once in a hundred, 3 rarer.
    int band(qsizetype row, int value) const;

private:
    const TrendFigures* trend_;
    std::vector<std::vector<double>> logAbsent_; // per span, per value: log of missing it
};

// The figures of every value of the trend, in value order. Values whose chances are the same
// in every draw share one computation of the expected longest omission.
QVector<FairValueFigures> fairOmission(const TrendFigures& trend);

} // namespace quorvex
