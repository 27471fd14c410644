#pragma once

#include "Backtest.h"

#include <QVector>

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

} // namespace quorvex
