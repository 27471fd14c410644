#include "HistoryFileAccess.h"

#include <QFile>
#include <QRegularExpression>
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
            *error = sqliteReason(q.lastError().isValid() ? q.lastError() : db.lastError());
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

// SQLite's reason in the user's words, with its code for whoever looks further; its own English
// stays out of the messages.
QString sqliteReason(const QSqlError& error) {
    const int code = sqliteErrorCode(error);
    const QString detail = error.databaseText();
    QString reason;
    switch (code & 0xff) {
    case SQLITE_FULL:
        reason = QStringLiteral("磁盘已满");
        break;
    case SQLITE_IOERR:
        reason = QStringLiteral("磁盘读写出错");
        break;
    case SQLITE_READONLY:
        reason = QStringLiteral("历史数据库只能读取，不能写入");
        break;
    case SQLITE_CANTOPEN:
        reason = QStringLiteral("无法打开历史数据库文件");
        break;
    case SQLITE_PERM:
    case SQLITE_AUTH:
        reason = QStringLiteral("没有访问历史数据库的权限");
        break;
    case SQLITE_NOMEM:
        reason = QStringLiteral("内存不足");
        break;
    case SQLITE_TOOBIG:
    case SQLITE_NOLFS:
        reason = QStringLiteral("数据太大");
        break;
    case SQLITE_CONSTRAINT:
        reason = QStringLiteral("数据与历史数据库的约束不符");
        break;
    case SQLITE_INTERRUPT:
        reason = QStringLiteral("操作被中断");
        break;
    default: {
        // A history of another making may lack a table or column this program reads.
        static const QRegularExpression missing(QStringLiteral("^no such (table|column): (\\S+)"));
        const auto found = missing.match(detail);
        if (found.hasMatch())
            reason = QStringLiteral("历史数据库缺少%1 %2")
                         .arg(found.captured(1) == QLatin1String("table") ? QStringLiteral("表")
                                                                          : QStringLiteral("列"),
                              found.captured(2));
        else
            reason = QStringLiteral("历史数据库操作出错");
    }
    }
    return code ? QStringLiteral("%1（SQLite 错误 %2）").arg(reason).arg(code) : reason;
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
