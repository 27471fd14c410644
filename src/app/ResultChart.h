#pragma once

#include "analysis/FollowSearch.h"

class QChartView;

namespace quorvex {

// Redraws the tally of a search as a bar chart: one bar per value of the result kind, in value
// order, labelled with the value (or zodiac name), on a count axis starting at 0.
void showResultChart(QChartView* view, const FollowResult& result, int resultKind);

} // namespace quorvex
