#include "ProgramFolder.h"

#include "HistoryStore.h"

#include <QDir>
#include <QStandardPaths>

namespace quorvex {

ProgramFolder chooseProgramFolder(const QString& preferred) {
    // Whatever lies at the history's path (even a link whose disk is away) belongs to this
    // folder; SQLite writes a journal beside the database, so the folder itself must take files.
    const QString path = QDir(preferred).filePath(HistoryStore::databaseFileName());
    if (inspectHistoryPath(path).kind != HistoryPath::Missing || folderIsWritable(preferred))
        return {preferred, {}};
    const QString fallback = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             QStringLiteral("/Quorvex");
    QDir().mkpath(fallback);
    return {fallback,
            QStringLiteral("程序所在的文件夹 %1 不能写入，历史数据库改存在 %2。")
                .arg(QDir::toNativeSeparators(preferred), QDir::toNativeSeparators(fallback))};
}

} // namespace quorvex
