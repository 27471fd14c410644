#pragma once

#include "analysis/FairOmission.h"
#include "analysis/TrendFigures.h"

#include <QStringList>
#include <QVector>

namespace quorvex {

// The trend grid: 期号, 开奖 (the draw's five values in position order), then one column per
// value, named as the result grid names it: the value where the draw gave it (开奖 shows how
// often), else its running omission.
QStringList trendGridHeader(const TrendFigures& trend);
QStringList trendGridRow(const TrendFigures& trend, qsizetype row);

// The summary: one row per value in value order: 值, 出现次数, 当前遗漏, 最大遗漏, 平均遗漏
// (three decimals), 最长连出, then what a fair draw gives: 期望次数 and 期望最大遗漏 (three
// decimals), 当前遗漏概率 (four significant digits).
QStringList trendSummaryHeader();
QVector<QStringList> trendSummaryRows(const TrendFigures& trend,
                                      const QVector<FairValueFigures>& fair);
// The summary as it stands under the grid: one row per figure of trendSummaryHeader after 值 (its
// name, an empty 开奖 cell, then each value's figure), so each value's figures fall under its
// column.
QVector<QStringList> trendSummaryUnderGrid(const TrendFigures& trend,
                                           const QVector<FairValueFigures>& fair);

// What the summary covers and what its chance columns mean, in one line.
QString trendSummaryCaption(const TrendFigures& trend);

} // namespace quorvex
