#pragma once

#include "analysis/FollowResult.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace quorvex {

// The four columns the CLI, the result grid, its workbook and the chart's tooltips add, in this
// order, each with one number form: expected and ratio with three decimals, the corrected p
// with four ("<0.0001" below that), "是" when marked; "—" where there is none.
enum BaselineColumn { ExpectedColumn, RatioColumn, CorrectedPColumn, MarkedColumn };
QStringList baselineHeader();
// What each column means under a fair draw, one sentence each, for the headers' tooltips.
QStringList baselineHeaderTips();
QStringList baselineCells(const FollowResult::Baseline& b);
// The result grid with the four columns after its own, rows in the grid's order.
QStringList resultHeaderWithBaseline(const FollowResult& result);
QVector<QStringList> resultRowsWithBaseline(const FollowResult& result);
// The header tooltips aligned with resultHeaderWithBaseline: none for the grid's own columns.
QStringList resultHeaderTipsWithBaseline(const FollowResult& result);
// A p-value with four decimals, "<0.0001" when it would read 0.0000.
QString pValueText(double p);
// Four significant digits, trailing zeros kept: 0.04210, 1.000, 3.142e-07.
QString significantText(double value);

} // namespace quorvex
