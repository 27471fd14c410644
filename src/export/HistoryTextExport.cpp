#include "HistoryTextExport.h"

#include "ExportTemporary.h"

#include "store/HistoryTextFile.h"

#include <QDir>

namespace quorvex {

QString historyTextFileName(qint64 lastIssue) {
    return QStringLiteral("更新至%1期历史号码.txt").arg(lastIssue);
}

std::optional<QString> exportHistoryText(const HistoryStore& store, const QString& folder,
                                         QString* error, const QString& file) {
    auto fail = [&](const QString& why) -> std::optional<QString> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QString why;
    const auto draws = store.loadNumbers(&why);
    if (!draws)
        return fail(QStringLiteral("无法读取历史号码：%1。没有导出文本文件。").arg(why));
    if (draws->isEmpty())
        return fail(QStringLiteral("历史号码是空的，没有可导出的号码，没有写入文件。"));

    const QString path =
        file.isEmpty() ? QDir(folder).filePath(historyTextFileName(draws->last().issue)) : file;
    const auto target = ExportTarget::check(path, folder, &why);
    if (!target)
        return fail(QStringLiteral("%1。文本文件没有导出，原有文件没有改动。").arg(why));
    if (!writeExportFile(*target, historyText(*draws), &why))
        return fail(QStringLiteral("无法写入文件 %1：%2。文本文件没有导出，原有文件没有改动。")
                        .arg(path, why));
    return path;
}

} // namespace quorvex
