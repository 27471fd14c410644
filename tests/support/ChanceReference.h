#pragma once

#include "HistoryView.h"

#include "analysis/FollowResult.h"
#include "analysis/SearchRequest.h"

#include <QVector>

#include <optional>

namespace quorvex::test {

// What chance gives each value of the result kind over a search's follow draws, straight from
// the definitions: a fair draw under the follow draw's own zodiac year has m of the 15 numbers
// with the value, so its count is hypergeometric, mean 5 m / 15 and variance
// 5 (m/15) (1 - m/15) (10/14); summed over the follow draws, with the two-sided normal p when
// there are 20 follow draws or more and the variance is not 0. Indexed by value - lowest value.
struct ChanceReference {
    QVector<double> counts;
    QVector<double> expected;
    QVector<double> variance;
    QVector<std::optional<double>> p;
};
ChanceReference chanceReference(const HistoryView& view, const SearchRequest& r,
                                const FollowResult& result);

// Every draw a fair draw can give, each set of five different numbers of 1..15 once, ascending:
// the 3,003 of them.
QVector<Numbers> everyFairDraw();

} // namespace quorvex::test
