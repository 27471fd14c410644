#pragma once

#include "analysis/FollowResult.h"

class QChartView;
class QValueAxis;

namespace quorvex {

// The count axis of the chart: labelled at round steps (1, 2 or 5 times a power of ten), at
// most mostSteps of them above 0, ending a little above the highest bar (at the next step when
// that wastes little of the plot).
struct CountAxis {
    qint64 top = 1;
    qint64 step = 1;
};
CountAxis countAxis(qint64 highest, int mostSteps = 8);
void applyCountAxis(QValueAxis* axis, const CountAxis& counts);
// Gives the count axis as many steps as a plot of this height has room for, each label clear of
// the next; leaves an axis that has them as it is.
void fitCountAxis(QValueAxis* axis, qint64 highest, double plotHeight);

// Redraws the tally of a search as a bar chart: one bar per value of the result kind, in value
// order, labelled with the value (or zodiac name), on a count axis starting at 0, each bar's
// count written on it or above it. The expected counts are drawn over the bars, bars that
// differ from chance beyond noise are outlined, and each bar's tooltip holds its figures.
void showResultChart(QChartView* view, const FollowResult& result, int resultKind);

// The line under the chart: how many values differ from chance beyond noise.
QString baselineSummary(const FollowResult& result);

} // namespace quorvex
