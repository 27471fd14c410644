#pragma once

#include "FollowResult.h"
#include "SearchRequest.h"

#include <QVector>

#include <optional>

namespace quorvex {

// Follow draws below this count get no test: the normal approximation is too rough there.
constexpr qint64 kFewestTestedDraws = 20;
// A value is marked when its Holm-corrected p lies below this.
constexpr double kMarkLevel = 0.01;

// How many of the numbers 1..15 take each value of a kind (in value order) in a zodiac year
// under the bases: m_v of the fair draw.
QVector<int> numbersPerValue(int kind, const ZodiacYear& zodiacYear, const ValueBases& bases);

// What a fair draw gives for the count of each value of a kind, summed over follow draws. A fair
// draw is five different numbers of 1..15, uniform, independent of the draws before it; under
// a draw's own zodiac year m of the 15 numbers have the value v, so the draw's count of v is
// hypergeometric: mean 5m/15, variance 5 (m/15) (1 - m/15) (10/14).
struct FairDrawExpectation {
    qint64 draws = 0;         // D
    QVector<double> mean;     // per value: the sum of the draws' means
    QVector<double> variance; // per value: the sum of the draws' variances
};
// knownYears, when given, keeps the zodiac cut-offs of the years met for the next call (asking it
// changes none of its own year).
FairDrawExpectation fairDrawExpectation(const QVector<qint64>& followIssues, int kind,
                                        const ValueBases& bases, ZodiacYear* knownYears = nullptr);

// Holm's step-down correction over the p-values given; values without a p stay without one
// and do not count towards the family.
QVector<std::optional<double>> holmCorrected(const QVector<std::optional<double>>& p);

// Each bar's count against the fair draw: z, two-sided normal p, Holm over the kind's values.
QVector<FollowResult::Baseline> compareWithChance(const QVector<FollowResult::Bar>& bars,
                                                  const FairDrawExpectation& expectation);

// Sets the result's baseline: its bars against a fair draw for each of its follow draws, under
// the request's result kind and bases.
void addBaseline(FollowResult& result, const SearchRequest& request,
                 ZodiacYear* knownYears = nullptr);

// Whether any value was tested: with too few follow draws, or none that vary, there is no
// comparison and no expected figure is worth showing beside the counts.
bool comparedWithChance(const QVector<FollowResult::Baseline>& baseline);

} // namespace quorvex
