#pragma once

#include "analysis/Backtest.h"

#include <QStringList>
#include <QVector>

namespace quorvex {

// The backtest table as texts: 期号, 前K个结果, 开奖, 命中, 期望, then one row per issue tried,
// the values shown as the result grid shows them (zodiac names under the zodiac base), the
// expectation with three decimals.
QStringList backtestGridHeader();
QVector<QStringList> backtestGridRows(const BacktestResult& result, int resultKind, int sxIni);

// Every option a backtest ran with, for the heading of its table: the search and its mode (the
// combination search over combinedPositions when not 0), the options every search names
// (searchOptionTexts), the first issue searched, K and the issues tried.
QString backtestCaption(const SearchRequest& request, int combinedPositions, int topK,
                        const BacktestResult& result);

// The backtest in one line: issues tried, hits, the expectation under a fair draw, their ratio
// and the one-sided p.
QString backtestSummary(const BacktestResult& result);

} // namespace quorvex
