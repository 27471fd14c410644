#include "HistoryFileAccess.h"

#include <QFile>
#include <QUrl>

#include <sqlite3.h>
#include <unistd.h>

namespace quorvex {

int sqliteErrorCode(const QSqlError& error) {
    if (!error.isValid())
        return 0;
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code : 0;
}

bool isDamageError(const QSqlError& error) {
    const int primary = sqliteErrorCode(error) & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

QString damagedHistoryMessage(const QString& path, const QString& detail) {
    return QStringLiteral(
               "历史数据库 %1 已损坏（%2），没有写入任何内容。请用备份或历史号码文件恢复。")
        .arg(path, detail);
}

bool folderIsWritable(const QString& folder) {
    // access() answers for the real user, as the kernel will when the journal is created.
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

QString readOnlyDatabaseName(const QString& path, bool immutable) {
    QString name =
        QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=ro");
    if (immutable)
        name += QStringLiteral("&immutable=1");
    return name;
}

} // namespace quorvex
