#include "SheetExport.h"

#include "ExportTarget.h"
#include "GridWorkbook.h"
#include "HistoryGridTexts.h"

#include "analysis/ChanceBaseline.h"

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

std::optional<QString> exportGridSheet(ExportedGrid grid, const QStringList& header,
                                       const QVector<QStringList>& rows, const QString& folder,
                                       QString* error, const QString& file) {
    const QString path = file.isEmpty() ? QDir(folder).filePath(sheetFileName(grid)) : file;
    QString why;
    const auto target = ExportTarget::check(path, folder, &why);
    if (!target || !writeGridWorkbook(*target, header, rows, &why)) {
        if (error)
            *error = QStringLiteral("%1。表格没有导出，原有文件没有改动。").arg(why);
        return std::nullopt;
    }
    return path;
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
