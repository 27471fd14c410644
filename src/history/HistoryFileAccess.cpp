#include "HistoryFileAccess.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quorvex {

std::optional<FileId> fileId(const QString& path, mode_t* mode) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    if (mode)
        *mode = info.st_mode;
    return FileId{info.st_dev, info.st_ino};
}

HistoryPath inspectHistoryPath(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(name.constData(), &link) != 0)
        return {HistoryPath::Missing, {}};
    struct stat target {};
    if (::stat(name.constData(), &target) != 0)
        return {HistoryPath::NotAFile,
                QStringLiteral(
                    "历史数据库 %1 是一个链接，它指向的 %2 不存在（例如所在的磁盘没有连接）；"
                    "未作任何改动。")
                    .arg(path, QFile::symLinkTarget(path))};
    if (S_ISREG(target.st_mode))
        return {HistoryPath::File, {}, S_ISLNK(link.st_mode)};
    const QString what = S_ISDIR(target.st_mode)    ? QStringLiteral("文件夹")
                         : S_ISFIFO(target.st_mode) ? QStringLiteral("命名管道")
                         : S_ISSOCK(target.st_mode) ? QStringLiteral("套接字")
                                                    : QStringLiteral("设备");
    return {HistoryPath::NotAFile,
            QStringLiteral("%1 是一个%2，不是历史数据库文件；未作任何改动。").arg(path, what)};
}

bool onReadOnlyFileSystem(const QString& path) {
    struct statvfs fs {};
    return ::statvfs(QFile::encodeName(path).constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
}

bool recoverInterruptedWrite(const QString& path, const QString& connectionName, QString* error) {
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kHistoryBusyTimeoutMs));
        // The first read of a writer rolls a leftover journal back; leaving write-ahead mode
        // folds a leftover log into the file.
        QSqlQuery q(db);
        ok = db.open() && q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next();
        if (ok && q.value(0).toString().compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0)
            ok = q.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        if (!ok && error)
            *error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    return ok;
}

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
    // For the effective user, as the kernel will check when the journal is created.
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) ==
           0;
}

bool fileIsWritable(const QString& path) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
}

QString readOnlyDatabaseName(const QString& path, bool immutable) {
    QString name =
        QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=ro");
    if (immutable)
        name += QStringLiteral("&immutable=1");
    return name;
}

} // namespace quorvex
