#include "SheetExport.h"
#include "presentation/ChanceTexts.h"

#include "ExportTarget.h"
#include "GridWorkbook.h"
#include "presentation/HistoryGridTexts.h"
#include "presentation/TrendGridTexts.h"

#include "analysis/ChanceBaseline.h"
#include "analysis/FairOmission.h"
#include "draw/AttributeKind.h"

#include <QDir>

namespace quorvex {

QString sheetFileName(ExportedGrid grid) {
    switch (grid) {
    case ExportedGrid::History:
        return QStringLiteral("lishi.xls");
    case ExportedGrid::Matches:
        return QStringLiteral("Jiansuo.xls");
    case ExportedGrid::Results:
        return QStringLiteral("Jieguo.xls");
    case ExportedGrid::Backtest:
        return QStringLiteral("Huice.xls");
    case ExportedGrid::Trend:
        return QStringLiteral("Zoushi.xls");
    }
    return {};
}

namespace {

std::optional<QString> exportSheet(ExportedGrid grid, const QStringList& header,
                                   const QVector<QStringList>& rows, const QString& folder,
                                   QString* error, const QString& file, const SheetLayout& layout) {
    const QString path = file.isEmpty() ? QDir(folder).filePath(sheetFileName(grid)) : file;
    QString why;
    const auto target = ExportTarget::check(path, folder, &why);
    if (!target || !writeGridWorkbook(*target, header, rows, &why, layout)) {
        if (error)
            *error = QStringLiteral("%1。表格没有导出，原有文件没有改动。").arg(why);
        return std::nullopt;
    }
    return path;
}

} // namespace

std::optional<QString> exportGridSheet(ExportedGrid grid, const QStringList& header,
                                       const QVector<QStringList>& rows, const QString& folder,
                                       QString* error, const QString& file) {
    return exportSheet(grid, header, rows, folder, error, file, {});
}

std::optional<QString> exportTrendSheet(const TrendFigures& trend, const QDate& today,
                                        const QString& folder, QString* error,
                                        const QString& file) {
    const qsizetype issues = trend.rows();
    QVector<QStringList> rows;
    rows.reserve(issues + 1 + 8);
    for (qsizetype r = 0; r < issues; ++r)
        rows << trendGridRow(trend, r);
    rows << QStringList();
    rows << trendSummaryUnderGrid(trend, fairOmission(trend));
    constexpr int kValueColumn = 2; // after 期号 and 开奖
    SheetLayout layout;
    layout.title = issues == 0 ? QStringLiteral("%1走势：没有开奖。导出于 %2。")
                                     .arg(kindCaption(trend.kind), today.toString(Qt::ISODate))
                               : QStringLiteral("%1走势：第 %2 至 %3 期，共 %4 期。导出于 %5。")
                                     .arg(kindCaption(trend.kind))
                                     .arg(trend.issues.front())
                                     .arg(trend.issues.back())
                                     .arg(issues)
                                     .arg(today.toString(Qt::ISODate));
    layout.form = [&trend, issues](qsizetype row, qsizetype column) {
        if (row < issues) {
            if (column == 0)
                return CellForm::Number;
            if (column < kValueColumn)
                return CellForm::Text;
            return trend.drawnCount(row, int(column - kValueColumn)) > 0 ? CellForm::Marked
                                                                         : CellForm::Number;
        }
        // The summary: a figure's name, then each value's figure.
        return column < kValueColumn ? CellForm::Text : CellForm::Number;
    };
    return exportSheet(ExportedGrid::Trend, trendGridHeader(trend), rows, folder, error, file,
                       layout);
}

std::optional<QString> exportResultSheet(const FollowResult& result, const QString& folder,
                                         QString* error, const QString& file) {
    return exportGridSheet(ExportedGrid::Results, resultHeaderWithBaseline(result),
                           resultRowsWithBaseline(result), folder, error, file);
}

std::optional<QString> exportHistorySheet(const HistoryStore& store, const QString& folder,
                                          QString* error, const QString& file) {
    QString why;
    const auto draws = store.loadNumbers(&why);
    if (!draws) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1。表格没有导出。").arg(why);
        return std::nullopt;
    }
    return exportGridSheet(ExportedGrid::History, historyGridHeader(), historyGridRows(*draws),
                           folder, error, file);
}

} // namespace quorvex
