#include "ProgramFolder.h"

#include "HistoryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace quorvex {

namespace {

// SQLite writes a log beside the database, so the folder itself must take new files.
bool canWriteIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quorvex-probe-XXXXXX")));
    return probe.open();
}

} // namespace

ProgramFolder chooseProgramFolder(const QString& preferred) {
    if (QFileInfo::exists(QDir(preferred).filePath(HistoryStore::databaseFileName())) ||
        canWriteIn(preferred))
        return {preferred, {}};
    const QString fallback = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             QStringLiteral("/Quorvex");
    QDir().mkpath(fallback);
    return {fallback,
            QStringLiteral("程序所在的文件夹 %1 不能写入，历史数据库改存在 %2。")
                .arg(QDir::toNativeSeparators(preferred), QDir::toNativeSeparators(fallback))};
}

} // namespace quorvex
