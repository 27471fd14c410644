#pragma once

#include "analysis/Backtest.h"

#include <QVector>

class QChartView;

namespace quorvex {

// The running totals of a backtest after each issue tried, the issue before the first
// included: hits, what chance gives, and that expectation two standard deviations either side
// (never below 0).
struct BacktestCurves {
    QVector<double> hits;
    QVector<double> expected;
    QVector<double> low;
    QVector<double> high;
};
BacktestCurves backtestCurves(const BacktestResult& result);
// The tooltip of each point of the curves: the issue, the hits so far and what chance gives so
// far; the first point stands before the first issue tried.
QStringList backtestPointTips(const BacktestResult& result, const BacktestCurves& curves);

// Redraws the chart of a backtest: the hits so far against what chance gives so far, with the
// ±2σ band, over the issues tried (labelled with a few of their issue numbers); each point's
// figures in its tooltip.
void showBacktestChart(QChartView* view, const BacktestResult& result);

} // namespace quorvex
