#pragma once

#include "analysis/FollowResult.h"
#include "analysis/TrendFigures.h"
#include "store/HistoryStore.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace quorvex {

// The grids that export to a workbook: the history MSFlexGrid1, the matches of the last search
// MSFlexGrid2, its ranked results MSFlexGrid3, the table of the last backtest and the trend.
enum class ExportedGrid { History, Matches, Results, Backtest, Trend };

// "lishi.xls", "Jiansuo.xls", "Jieguo.xls", "Huice.xls", "Zoushi.xls" (Office Open XML workbooks
// under these names).
QString sheetFileName(ExportedGrid grid);

// mnuDcls and the grids' double clicks: a grid as it shows (heading row and rows of cell
// texts) to sheetFileName(grid) in folder, or to file when it is not empty. Returns the path
// written; nothing and a message for the user otherwise, an older file then left as it was.
// folder is the program's folder: its history is never written over (ExportTarget).
std::optional<QString> exportGridSheet(ExportedGrid grid, const QStringList& header,
                                       const QVector<QStringList>& rows, const QString& folder,
                                       QString* error, const QString& file = QString());

// A search's ranked results to "Jieguo.xls" as above: the result grid's columns, then the
// comparison with chance (期望次数, 比值, 校正p值, 显著), as quorvex-cli search --baseline prints
// them.
std::optional<QString> exportResultSheet(const FollowResult& result, const QString& folder,
                                         QString* error, const QString& file = QString());

// The trend page to "Zoushi.xls" as above: a first row naming the kind, the issues and the day
// written (today), then the trend grid (issues and omissions as numbers, each drawn value marked
// as the grid shades it), an empty row and the summary under the grid's columns (its figures as
// numbers).
std::optional<QString> exportTrendSheet(const TrendFigures& trend, const QDate& today,
                                        const QString& folder, QString* error,
                                        const QString& file = QString());

// The history grid read from the store, exported as above to "lishi.xls"; an empty history
// gives the heading row alone.
std::optional<QString> exportHistorySheet(const HistoryStore& store, const QString& folder,
                                          QString* error, const QString& file = QString());

} // namespace quorvex
