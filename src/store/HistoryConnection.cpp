#include "HistoryConnection.h"

#include "BackgroundPageCheck.h"
#include "CheckVerdicts.h"
#include "HistorySchema.h"
#include "SqliteStatement.h"
#include "TableNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace quorvex {

namespace {} // namespace

HistoryConnection::HistoryConnection()
    : connectionName_(QStringLiteral("history-") + QUuid::createUuid().toString(QUuid::Id128)) {}

HistoryConnection::~HistoryConnection() {
    close();
}

QString HistoryConnection::databasePath() const {
    return QDir(folder_).filePath(databaseFileName());
}

void HistoryConnection::close() {
    pageCheck_.reset();
    pageCheckVerdicts_.reset();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
    readOnly_ = false;
}

bool HistoryConnection::refuse(HistoryOpenFailure failure, const QString& message, QString* error) {
    close();
    openFailure_ = failure;
    if (failure == HistoryOpenFailure::Damaged)
        damage_ = message;
    if (error)
        *error = message;
    return false;
}

QString HistoryConnection::errorText(const QSqlError& error) const {
    if (isDamageError(error)) {
        damage_ = damagedHistoryMessage(databasePath(), error.databaseText());
        return damage_;
    }
    if (isBusy(error))
        return QStringLiteral("另一个程序正在使用历史数据库 %1（正在写入，或在读取而挡住了写入），"
                              "等了 %2 秒仍未结束（%3）；请等它结束后再试")
            .arg(databasePath())
            .arg(kHistoryBusyTimeoutMs / 1000)
            .arg(QStringLiteral("SQLite 错误 %1").arg(sqliteErrorCode(error)));
    return sqliteReason(error);
}

bool HistoryConnection::open(const QString& folder, QString* error, HistoryAccess access,
                             PageCheckTiming check) {
    close();
    openFailure_ = HistoryOpenFailure::None;
    damage_.clear();
    folder_ = QDir(folder).absolutePath();
    const QString path = databasePath();
    if (!QFileInfo(folder_).isDir())
        return refuse(HistoryOpenFailure::FolderMissing,
                      QStringLiteral("文件夹 %1 不存在。").arg(folder_), error);
    const HistoryPath at = inspectHistoryPath(path);
    if (at.kind == HistoryPath::NotAFile)
        return refuse(HistoryOpenFailure::NotAFile, at.problem, error);
    // Written through a link, the history and its copies would part: the copies stand beside the
    // link, the history elsewhere.
    if (at.link && access == HistoryAccess::ReadWrite)
        return refuse(
            HistoryOpenFailure::Link,
            QStringLiteral("历史数据库 %1 是一个链接（指向 %2）：程序不经链接改动历史号码，"
                           "未作任何改动。")
                .arg(path, QFile::symLinkTarget(path)),
            error);
    if (at.kind == HistoryPath::Missing) {
        if (access == HistoryAccess::ReadOnly)
            return refuse(HistoryOpenFailure::Missing,
                          QStringLiteral("找不到历史数据库 %1。").arg(path), error);
        if (!folderIsWritable(folder_))
            return refuse(HistoryOpenFailure::ReadOnlyFolder,
                          QStringLiteral("文件夹 %1 是只读的，无法创建历史数据库 %2。")
                              .arg(folder_, databaseFileName()),
                          error);
        if (!createHistoryFile(path, connectionName_ + QStringLiteral("-create"), error)) {
            openFailure_ = HistoryOpenFailure::CannotCreate;
            return false;
        }
    }
    if (openConnection(path, access, check, error) ||
        openFailure_ != HistoryOpenFailure::Interrupted)
        return isOpen();
    // A reader cannot roll an interrupted write back; one that may write the file does so first.
    QString why;
    if (!at.link && folderIsWritable(folder_) && fileIsWritable(path) &&
        recoverInterruptedWrite(path, connectionName_ + QStringLiteral("-recover"), &why)) {
        openFailure_ = HistoryOpenFailure::None;
        return openConnection(path, access, check, error);
    }
    return refuse(
        HistoryOpenFailure::Interrupted,
        QStringLiteral("历史数据库 %1 上次写入时被中断，要先撤销那次没有完成的写入才能读取；"
                       "请由能写入文件夹 %2 的用户运行一次本程序（例如 quorvex-cli --dir "
                       "%2 list）。文件未作任何改动。%3")
            .arg(path, folder_, why),
        error);
}

bool HistoryConnection::openConnection(const QString& path, HistoryAccess access,
                                       PageCheckTiming check, QString* error) {
    auto fail = [&](const QSqlError& why) {
        // A locked file is being written, not unreadable.
        if (isBusy(why))
            return busy(why, error);
        // A journal or log beside the file that only a writer may roll back or fold in.
        const int code = sqliteErrorCode(why);
        const bool leftover = QFileInfo::exists(path + QStringLiteral("-journal")) ||
                              QFileInfo::exists(path + QStringLiteral("-wal"));
        if (readOnly_ &&
            (code == SQLITE_READONLY_ROLLBACK ||
             (leftover && ((code & 0xff) == SQLITE_READONLY || (code & 0xff) == SQLITE_CANTOPEN))))
            return refuse(HistoryOpenFailure::Interrupted, sqliteReason(why), error);
        if (why.isValid() && code != SQLITE_NOTADB && isDamageError(why))
            return refuse(HistoryOpenFailure::Damaged,
                          damagedHistoryMessage(path, why.databaseText()), error);
        return refuse(HistoryOpenFailure::NotAHistory,
                      QStringLiteral("%1 不是可读取的历史数据库（%2），文件未作任何改动。")
                          .arg(path, why.isValid() ? sqliteReason(why) : QString()),
                      error);
    };
    auto missing = [&](const QString& what) {
        return refuse(
            HistoryOpenFailure::NotAHistory,
            QStringLiteral("%1 不是可读取的历史数据库（%2），文件未作任何改动。").arg(path, what),
            error);
    };
    const bool folderWritable = folderIsWritable(folder_);
    if (access == HistoryAccess::ReadWrite) {
        // Said before anything touches the file, so that nothing is left beside it; the folder
        // first, since a writable file would not help there.
        if (!folderWritable)
            return refuse(HistoryOpenFailure::ReadOnlyFolder,
                          QStringLiteral("历史数据库 %1 所在的文件夹是只读的，写入时无法在旁边建立"
                                         "日志文件，未作任何改动。")
                              .arg(path),
                          error);
        if (!fileIsWritable(path))
            return refuse(
                HistoryOpenFailure::ReadOnlyFile,
                QStringLiteral("历史数据库 %1 是只读文件，无法写入，未作任何改动。").arg(path),
                error);
    }
    readOnly_ = access == HistoryAccess::ReadOnly;
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    QStringList options{QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kHistoryBusyTimeoutMs)};
    if (readOnly_) {
        // On a read-only file system nothing can change the file: SQLite need not lock it. A
        // journal or log beside it must still be seen, though.
        const bool immutable = onReadOnlyFileSystem(path) &&
                               !QFileInfo::exists(path + QStringLiteral("-journal")) &&
                               !QFileInfo::exists(path + QStringLiteral("-wal"));
        db_.setDatabaseName(readOnlyDatabaseName(path, immutable));
        options << QStringLiteral("QSQLITE_OPEN_READONLY") << QStringLiteral("QSQLITE_OPEN_URI");
    } else {
        db_.setDatabaseName(path);
    }
    db_.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db_.open())
        return fail(db_.lastError());
    // A file another tool left in write-ahead mode, with no log beside it, holds everything in
    // the file itself: a reader that looked for the log would leave one (and its index) behind.
    // Before SQLite reads anything, it is opened as it is, with no log.
    if (readOnly_ && fileInWriteAheadMode(*this) &&
        !QFileInfo::exists(path + QStringLiteral("-wal")) &&
        !QFileInfo::exists(path + QStringLiteral("-shm"))) {
        db_.close();
        db_.setDatabaseName(readOnlyDatabaseName(path, true));
        if (!db_.open())
            return fail(db_.lastError());
    }
    if (const auto mismatch = sqliteLibraryMismatch(db_))
        return refuse(HistoryOpenFailure::NotAHistory, *mismatch, error);
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("PRAGMA table_info(Lishi)")))
        return fail(q.lastError());
    QStringList have;
    while (q.next())
        have << q.value(1).toString().toLower();
    if (q.lastError().isValid())
        return fail(q.lastError());
    if (have.isEmpty())
        return missing(QStringLiteral("没有 Lishi 表"));
    for (const QString& c : requiredLishiColumns()) {
        if (!have.contains(c.toLower()))
            return missing(QStringLiteral("Lishi 表缺少字段 %1").arg(c));
    }
    if (!q.exec(QStringLiteral("SELECT Nmb, Count FROM Carcu LIMIT 1")))
        return q.lastError().isValid() && isDamageError(q.lastError())
                   ? fail(q.lastError())
                   : missing(QStringLiteral("没有 Carcu 表"));
    // A writer keeps the table in memory: sized before anything is read, the pages read at
    // start-up stay there for the search that follows.
    if (!readOnly_) {
        q.exec(QStringLiteral("PRAGMA cache_size = -65536"));
        // Draws are not secrets, and every change that removes them keeps a copy first: zeroing
        // each freed page (this SQLite's default) would write a replaced history twice.
        q.exec(QStringLiteral("PRAGMA secure_delete = FAST"));
    }
    // Beside the reads only in rollback-journal mode: leaving write-ahead mode below writes the
    // file, which must wait for the verdict.
    if (check == PageCheckTiming::BesideReads && !readOnly_ &&
        q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next() &&
        q.value(0).toString() == QLatin1String("delete")) {
        q.finish();
        const CheckVerdicts verdicts(*this);
        if (verdicts.recall(pagesTopic()) != QLatin1String("ok")) {
            pageCheck_ = std::make_unique<BackgroundPageCheck>(path);
            pageCheckVerdicts_ = std::make_unique<CheckVerdicts>(verdicts);
        }
    } else if (!checkPages(error)) {
        return false;
    }
    if (readOnly_)
        return true;
    // A rollback journal, never a write-ahead log: a reader then needs nothing beside the file
    // (it may be in a folder the reader cannot write) and no mode is switched at open or close.
    // A file left in write-ahead mode by an earlier version is switched back once; while
    // another program still holds it that way, this connection follows it.
    if (!q.exec(QStringLiteral("PRAGMA synchronous = FULL")) ||
        (!q.exec(QStringLiteral("PRAGMA journal_mode = DELETE")) && isDamageError(q.lastError()))) {
        const QString why = errorText(q.lastError());
        return refuse(
            isDamaged() ? HistoryOpenFailure::Damaged : HistoryOpenFailure::NotAHistory,
            isDamaged() ? why : QStringLiteral("无法打开历史数据库 %1：%2").arg(path, why), error);
    }
    q.finish();
    return bringTableNamesUpToDate(error);
}

bool HistoryConnection::bringTableNamesUpToDate(QString* error) {
    QString why;
    const auto pending = pendingRenames(*this, &why);
    if (!pending)
        return refuse(HistoryOpenFailure::NotAHistory, why, error);
    if (pending->isEmpty())
        return true;
    // The rename writes the file: a file checked beside the reads is checked first.
    if (!finishPageCheck(error))
        return false;
    if (!renameEarlierTables(*this, &why))
        return refuse(HistoryOpenFailure::Busy, why, error);
    return true;
}

bool HistoryConnection::isBusy(const QSqlError& error) {
    const int code = sqliteErrorCode(error) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool HistoryConnection::busy(const QSqlError& why, QString* error) {
    return refuse(HistoryOpenFailure::Busy,
                  QStringLiteral("%1。文件未作任何改动。").arg(errorText(why)), error);
}

bool HistoryConnection::checkPages(QString* error) {
    // Every page of the file, without the slower cross-check of indexes against rows: about
    // 0.1 s for 100,000 draws. A file that fails is never written. A file unchanged since it
    // passed is not read again.
    const CheckVerdicts verdicts(*this);
    if (verdicts.recall(pagesTopic()) == QLatin1String("ok"))
        return true;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    QStringList problems;
    if (q.exec(QStringLiteral("PRAGMA quick_check(5)"))) {
        while (q.next()) {
            const QString line = q.value(0).toString();
            if (line != QLatin1String("ok"))
                problems << line;
        }
    }
    const bool passed = pageVerdict(problems, q.lastError(), error);
    if (passed)
        verdicts.remember(pagesTopic(), QStringLiteral("ok"));
    return passed;
}

bool HistoryConnection::pageVerdict(QStringList problems, const QSqlError& failure,
                                    QString* error) {
    if (failure.isValid()) {
        if (isBusy(failure))
            return busy(failure, error);
        problems << failure.databaseText();
    }
    if (problems.isEmpty())
        return true;
    return refuse(HistoryOpenFailure::Damaged,
                  damagedHistoryMessage(databasePath(), problems.join(QStringLiteral("；"))),
                  error);
}

bool HistoryConnection::finishPageCheck(QString* error) {
    if (!pageCheck_)
        return true;
    const PageCheckFindings found = pageCheck_->findings();
    pageCheck_.reset();
    const auto verdicts = std::move(pageCheckVerdicts_);
    const bool passed = pageVerdict(found.problems, found.failure, error);
    if (passed && verdicts)
        verdicts->remember(pagesTopic(), QStringLiteral("ok"));
    return passed;
}

void HistoryConnection::settlePageCheck() {
    if (pageCheck_)
        finishPageCheck(nullptr);
}

QString HistoryConnection::writeRefusal() const {
    if (isDamaged())
        return damage_;
    if (readOnly_)
        return QStringLiteral("历史数据库 %1 以只读方式打开，不能写入。").arg(databasePath());
    return {};
}

} // namespace quorvex
