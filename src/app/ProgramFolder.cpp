#include "ProgramFolder.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace quorvex {

namespace {

// SQLite writes a journal beside the database, so the folder itself must take new files.
bool canWriteIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quorvex-probe-XXXXXX")));
    return probe.open();
}

} // namespace

ProgramFolder chooseProgramFolder(const QString& preferred) {
    if (canWriteIn(preferred))
        return {preferred, {}};
    const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(fallback);
    return {fallback,
            QStringLiteral("程序所在的文件夹 %1 不能写入，历史数据库改存在 %2。")
                .arg(QDir::toNativeSeparators(preferred), QDir::toNativeSeparators(fallback))};
}

} // namespace quorvex
