#pragma once

#include "analysis/BacktestCurves.h"

class QChartView;

namespace quorvex {

// The tooltip of each point of the curves: the issue, the hits so far and what chance gives so
// far; the first point stands before the first issue tried.
QStringList backtestPointTips(const BacktestResult& result, const BacktestCurves& curves);

// Redraws the chart of a backtest: the hits so far against what chance gives so far, with the
// ±2σ band, over the issues tried (labelled with a few of their issue numbers); each point's
// figures in its tooltip.
void showBacktestChart(QChartView* view, const BacktestResult& result);

} // namespace quorvex
