#pragma once

#include "FollowResult.h"
#include "SearchPlan.h"
#include "SearchRequest.h"

#include "store/HistorySnapshot.h"

#include <vector>

namespace quorvex {

// ShowFollowResults: lists the follow draws at the given rows of the plan's snapshot (in issue
// order), tallies the result kind over their five positions and ranks the values. The listing
// keeps the rows and a copy of the snapshot, and makes a row's texts when it is shown.
FollowResult ShowFollowResults(const SearchPlan& plan, std::vector<qsizetype> rows);

// The ranked order of a tally as the result grid shows it: by count, equal counts in ascending
// value. counts[i] is the count of value lo + i; returns the values.
QVector<int> rankedValues(const QVector<qint64>& counts, int lo);

// How a value of a kind is shown in the grids: the zodiac name in zodiac mode (empty for a value
// without a name under the base), else the number.
QString valueLabel(int kind, int value, int sxIni);

// The percentage cell: count * 100 / denominator with three decimals and "%"; empty when
// there is no follow draw.
QString percentageText(qint64 count, qint64 denominator);

} // namespace quorvex
