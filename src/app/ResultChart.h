#pragma once

#include "analysis/FollowResult.h"

class QChartView;

namespace quorvex {

// The count axis of the chart: round steps (1, 2 or 5 times a power of ten), at most eight of
// them, ending at the first step just above the highest bar (with room for its label).
struct CountAxis {
    qint64 top = 1;
    int intervals = 1;
};
CountAxis countAxis(qint64 highest);

// Redraws the tally of a search as a bar chart: one bar per value of the result kind, in value
// order, labelled with the value (or zodiac name), on a count axis starting at 0.
// The expected counts are drawn over the bars, bars that differ from chance beyond noise are
// outlined, and each bar's tooltip holds its figures.
void showResultChart(QChartView* view, const FollowResult& result, int resultKind);

// The line under the chart: how many values differ from chance beyond noise.
QString baselineSummary(const FollowResult& result);

} // namespace quorvex
