#pragma once

#include "analysis/FollowResult.h"

class QChartView;

namespace quorvex {

// Redraws the tally of a search as a bar chart: one bar per value of the result kind, in value
// order, labelled with the value (or zodiac name), on a count axis starting at 0, each bar's
// count written on it or above it. The expected counts are drawn over the bars, bars that
// differ from chance beyond noise are outlined, and each bar's tooltip holds its figures.
void showResultChart(QChartView* view, const FollowResult& result, int resultKind);

// The line under the chart: how many values differ from chance beyond noise.
QString baselineSummary(const FollowResult& result);

} // namespace quorvex
