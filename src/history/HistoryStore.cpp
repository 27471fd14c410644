#include "HistoryStore.h"

#include "BackgroundPageCheck.h"
#include "DrawBulkWriter.h"
#include "HistorySchema.h"
#include "SqliteStatement.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace quorvex {

namespace {

QString viewStatement() {
    return QStringLiteral("SELECT SQQH,%1 FROM Lishi ORDER BY SQQH")
        .arg(attributeColumns().join(QLatin1Char(',')));
}

} // namespace

HistoryStore::HistoryStore()
    : connectionName_(QStringLiteral("history-") + QUuid::createUuid().toString(QUuid::Id128)) {}

HistoryStore::~HistoryStore() {
    close();
}

QString HistoryStore::databasePath() const {
    return QDir(folder_).filePath(databaseFileName());
}

void HistoryStore::close() {
    pageCheck_.reset();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
    readOnly_ = false;
}

bool HistoryStore::refuse(HistoryOpenFailure failure, const QString& message, QString* error) {
    close();
    openFailure_ = failure;
    if (failure == HistoryOpenFailure::Damaged)
        damage_ = message;
    if (error)
        *error = message;
    return false;
}

QString HistoryStore::errorText(const QSqlError& error) const {
    if (isDamageError(error)) {
        damage_ = damagedHistoryMessage(databasePath(), error.databaseText());
        return damage_;
    }
    if (isBusy(error))
        return QStringLiteral("另一个程序正在使用历史数据库 %1（正在写入，或在读取而挡住了写入），"
                              "等了 %2 秒仍未结束（%3）；请等它结束后再试")
            .arg(databasePath())
            .arg(kHistoryBusyTimeoutMs / 1000)
            .arg(error.databaseText());
    return error.text();
}

bool HistoryStore::open(const QString& folder, QString* error, HistoryAccess access,
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
    if (folderIsWritable(folder_) && fileIsWritable(path) &&
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

bool HistoryStore::openConnection(const QString& path, HistoryAccess access, PageCheckTiming check,
                                  QString* error) {
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
            return refuse(HistoryOpenFailure::Interrupted, why.text(), error);
        if (why.isValid() && code != SQLITE_NOTADB && isDamageError(why))
            return refuse(HistoryOpenFailure::Damaged,
                          damagedHistoryMessage(path, why.databaseText()), error);
        return refuse(HistoryOpenFailure::NotAHistory,
                      QStringLiteral("%1 不是可读取的历史数据库（%2），文件未作任何改动。")
                          .arg(path, why.isValid() ? why.text() : QString()),
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
    if (!readOnly_)
        q.exec(QStringLiteral("PRAGMA cache_size = -65536"));
    // Beside the reads only in rollback-journal mode: leaving write-ahead mode below writes the
    // file, which must wait for the verdict.
    if (check == PageCheckTiming::BesideReads && !readOnly_ &&
        q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next() &&
        q.value(0).toString() == QLatin1String("delete")) {
        q.finish();
        pageCheck_ = std::make_unique<BackgroundPageCheck>(path);
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
    return true;
}

bool HistoryStore::isBusy(const QSqlError& error) {
    const int code = sqliteErrorCode(error) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool HistoryStore::busy(const QSqlError& why, QString* error) {
    return refuse(HistoryOpenFailure::Busy,
                  QStringLiteral("%1。文件未作任何改动。").arg(errorText(why)), error);
}

bool HistoryStore::checkPages(QString* error) {
    // Every page of the file, without the slower cross-check of indexes against rows: about
    // 0.1 s for 100,000 draws. A file that fails is never written.
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
    return pageVerdict(problems, q.lastError(), error);
}

bool HistoryStore::pageVerdict(QStringList problems, const QSqlError& failure, QString* error) {
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

bool HistoryStore::finishPageCheck(QString* error) {
    if (!pageCheck_)
        return true;
    const PageCheckFindings found = pageCheck_->findings();
    pageCheck_.reset();
    return pageVerdict(found.problems, found.failure, error);
}

void HistoryStore::settlePageCheck() {
    if (pageCheck_)
        finishPageCheck(nullptr);
}

namespace {

// A row of viewStatement(); NULL reads as 0.
StoredDraw storedDraw(const SqliteStatement& q) {
    StoredDraw d;
    d.issue = q.integer(0);
    for (int i = 0, col = 1; i < kPositions; ++i)
        for (int k = 0; k < kKindCount; ++k)
            d.attributes.value[i][k] = int(q.integer(col++));
    return d;
}

} // namespace

HistoryStore::ReadSnapshot::ReadSnapshot(const HistoryStore& store) : db_(store.db_) {
    // Inside a caller's transaction BEGIN fails, and the caller's read goes on.
    if (store.isOpen())
        own_ = QSqlQuery(db_).exec(QStringLiteral("BEGIN"));
}

HistoryStore::ReadSnapshot::~ReadSnapshot() {
    if (own_)
        QSqlQuery(db_).exec(QStringLiteral("COMMIT"));
}

std::optional<HistoryStore::Version> HistoryStore::version(QString* error) const {
    sqlite3* db = sqliteHandle(*this);
    SqliteStatement q(*this);
    if (db && q.prepare(QStringLiteral("PRAGMA data_version")) && q.next()) {
        Version v;
        v.dataVersion = q.integer(0);
        q.reset();
        v.totalChanges = sqlite3_total_changes64(db);
        return v;
    }
    if (error)
        *error = QStringLiteral("无法读取历史数据库的状态：%1").arg(q.errorText());
    return std::nullopt;
}

std::optional<StoredDraw> HistoryStore::lastDraw(QString* error) const {
    return drawBack(std::nullopt, 0, error);
}

std::optional<QVector<DrawNumbers>> HistoryStore::loadNumbers(QString* error) const {
    QVector<DrawNumbers> rows;
    SqliteStatement q(*this);
    const bool ok =
        q.prepare(QStringLiteral("SELECT SQQH,L1A,L2A,L3A,L4A,L5A FROM Lishi ORDER BY SQQH"));
    while (ok && q.next()) {
        DrawNumbers d;
        d.issue = q.integer(0);
        for (int i = 0; i < kPositions; ++i)
            d.numbers[i] = int(q.integer(i + 1));
        rows.append(d);
    }
    // next() also ends on an error: only a clean end means every row was read.
    if (q.lastError().isValid()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(q.errorText());
        return std::nullopt;
    }
    return rows;
}

std::optional<HistoryStore::Span> HistoryStore::span(QString* error) const {
    QSqlQuery q(db_);
    // Separate subqueries: alone, MIN and MAX of the key are two lookups; in one aggregate they
    // read every row.
    if (!q.exec(QStringLiteral(
            "SELECT (SELECT MIN(SQQH) FROM Lishi), (SELECT MAX(SQQH) FROM Lishi)")) ||
        !q.next()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(errorText(q.lastError()));
        return std::nullopt;
    }
    return Span{q.value(0).isNull(), q.value(0).toLongLong(), q.value(1).toLongLong()};
}

std::optional<QString> HistoryStore::strQQHLimit() const {
    QSqlQuery q(db_);
    if (q.exec(QStringLiteral("SELECT MAX(strQQH) FROM Lishi")) && q.next() && !q.value(0).isNull())
        return q.value(0).toString();
    return std::nullopt;
}

std::optional<StoredDraw> HistoryStore::drawBack(std::optional<qint64> atMost, int back,
                                                 QString* error) const {
    QString sql = viewStatement();
    sql.replace(QStringLiteral("ORDER BY SQQH"),
                QStringLiteral("%1 ORDER BY SQQH DESC LIMIT 1 OFFSET ?")
                    .arg(atMost ? QStringLiteral("WHERE SQQH <= ?") : QString()));
    SqliteStatement q(*this);
    if (q.prepare(sql)) {
        int at = 0;
        if (atMost)
            q.bind(++at, *atMost);
        q.bind(++at, qint64(qMax(0, back)));
        if (q.next()) {
            const StoredDraw d = storedDraw(q);
            q.reset();
            return d;
        }
    }
    if (q.lastError().isValid() && error)
        *error = q.errorText();
    return std::nullopt;
}

qint64 HistoryStore::drawCount(QString* error) const {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM Lishi")) || !q.next()) {
        if (error)
            *error = errorText(q.lastError());
        return 0;
    }
    return q.value(0).toLongLong();
}

qint64 HistoryStore::nextIssue(const QDate& today) const {
    if (const auto last = lastDraw())
        return last->issue + 1;
    return qint64(today.year()) * 1000 + 1;
}

std::optional<qint64> HistoryStore::nextIssue(const QDate& today, QString* error) const {
    QString why;
    const auto last = lastDraw(&why);
    if (!why.isEmpty()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(why);
        return std::nullopt;
    }
    return last ? last->issue + 1 : qint64(today.year()) * 1000 + 1;
}

std::optional<DrawAttributes>
HistoryStore::AppendDraw(qint64 issue, const Numbers& numbers, qint64 zodiacIssue,
                         const std::optional<DrawAttributes>& previous, const ValueBases& bases,
                         ZodiacYear& zodiacYear, QString* error) {
    if (const QString refusal = writeRefusal(); !refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return std::nullopt;
    }
    DrawBulkWriter writer(*this);
    if (!writer.prepare(error))
        return std::nullopt;
    return writer.append(issue, numbers, zodiacIssue, previous, bases, zodiacYear, error);
}

std::optional<qint64> HistoryStore::appendNextDraw(const Numbers& numbers,
                                                   std::optional<qint64> issue,
                                                   std::optional<qint64> zodiacIssue,
                                                   const ValueBases& bases, ZodiacYear& zodiacYear,
                                                   const QDate& today, QString* error) {
    Transaction transaction(*this);
    if (!transaction.begun()) {
        if (error)
            *error = QStringLiteral("无法写入历史数据库，未保存：%1").arg(transaction.beginError());
        return std::nullopt;
    }
    const auto stored =
        appendAfterLast(numbers, issue, zodiacIssue, bases, zodiacYear, today, error);
    QString why;
    if (stored && !transaction.commit(&why)) {
        if (error)
            *error = QStringLiteral("第 %1 期未保存：%2").arg(*stored).arg(why);
        return std::nullopt;
    }
    return stored;
}

std::optional<qint64> HistoryStore::appendAfterLast(const Numbers& numbers,
                                                    std::optional<qint64> issue,
                                                    std::optional<qint64> zodiacIssue,
                                                    const ValueBases& bases, ZodiacYear& zodiacYear,
                                                    const QDate& today, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QString why;
    const auto previous = lastDraw(&why);
    if (!why.isEmpty())
        return fail(QStringLiteral("无法读取最后一期历史号码，未保存：%1").arg(why));
    if (issue && previous && *issue <= previous->issue)
        return fail(QStringLiteral("期号 %1 不在最后一期 %2 之后，未保存。")
                        .arg(*issue)
                        .arg(previous->issue));
    const qint64 stored = issue      ? *issue
                          : previous ? previous->issue + 1
                                     : qint64(today.year()) * 1000 + 1;
    std::optional<DrawAttributes> previousAttributes;
    if (previous)
        previousAttributes = previous->attributes;
    if (!AppendDraw(stored, numbers, zodiacIssue.value_or(stored), previousAttributes, bases,
                    zodiacYear, &why))
        return fail(QStringLiteral("第 %1 期未保存：%2").arg(stored).arg(why));
    return stored;
}

bool HistoryStore::Delrec(QString* error) {
    return write(QStringLiteral("DELETE FROM Lishi"), error);
}

bool HistoryStore::deleteLastDraw(QString* error) {
    return write(QStringLiteral("DELETE FROM Lishi WHERE SQQH = (SELECT MAX(SQQH) FROM Lishi)"),
                 error);
}

QString HistoryStore::writeRefusal() const {
    if (isDamaged())
        return damage_;
    if (readOnly_)
        return QStringLiteral("历史数据库 %1 以只读方式打开，不能写入。").arg(databasePath());
    return {};
}

bool HistoryStore::write(const QString& sql, QString* error) {
    settlePageCheck();
    if (const QString refusal = writeRefusal(); !refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    QSqlQuery q(db_);
    if (!q.exec(sql)) {
        if (error)
            *error = errorText(q.lastError());
        return false;
    }
    return true;
}

bool HistoryStore::CompactDb(QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = isDamaged()
                         ? damage_
                         : QStringLiteral("压缩历史数据库失败（%1），历史号码保持不变。").arg(why);
        return false;
    };
    settlePageCheck();
    if (!isOpen())
        return fail(QStringLiteral("历史数据库没有打开"));
    if (const QString refusal = writeRefusal(); !refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    // Earlier versions compacted through a copy beside the file; what is left of one is stale.
    const QFileInfo stale(QDir(folder_).filePath(compactFileName()));
    if (stale.isFile() && !stale.isSymLink())
        QFile::remove(stale.filePath());

    // VACUUM rebuilds the file inside one write transaction: other writers wait for it, and a
    // kill at any moment leaves the file as it was before or after.
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("VACUUM")))
        return fail(errorText(q.lastError()));
    return true;
}

HistoryStore::Transaction::Transaction(HistoryStore& store) : store_(store), db_(store.db_) {
    store.settlePageCheck();
    if (!store.isOpen()) {
        beginError_ = QStringLiteral("历史数据库没有打开。");
        return;
    }
    beginError_ = store.writeRefusal();
    if (!beginError_.isEmpty())
        return;
    QSqlQuery q(db_);
    // Take the write lock now: a deferred transaction that has read would fail at its first
    // write when another program committed meanwhile, instead of waiting its turn.
    begun_ = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (!begun_)
        beginError_ = store.errorText(q.lastError());
}

HistoryStore::Transaction::~Transaction() {
    if (begun_ && !done_)
        db_.rollback();
}

bool HistoryStore::Transaction::commit(QString* error) {
    if (!begun_) {
        if (error)
            *error = beginError_;
        return false;
    }
    done_ = true;
    // Through a query, not QSqlDatabase::commit(), whose error drops SQLite's code: a commit
    // that waited out another program must be said as such.
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("COMMIT"))) {
        if (error)
            *error = store_.errorText(q.lastError());
        db_.rollback();
        return false;
    }
    return true;
}

} // namespace quorvex
