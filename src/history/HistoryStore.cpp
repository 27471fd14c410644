#include "HistoryStore.h"

#include "DrawBulkWriter.h"
#include "DurableFile.h"
#include "HistorySchema.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quorvex {

namespace {

QString sqlError(const QSqlQuery& q) {
    return q.lastError().text();
}

bool exec(QSqlDatabase& db, const QString& sql, QString* error) {
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        if (error)
            *error = sqlError(q);
        return false;
    }
    return true;
}

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
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

bool HistoryStore::open(const QString& folder, QString* error) {
    close();
    folder_ = QDir(folder).absolutePath();
    const QString path = databasePath();
    if (!QFileInfo::exists(path) && !createDatabaseFile(path, error))
        return false;
    return openConnection(path, error);
}

bool HistoryStore::createDatabaseFile(const QString& path, QString* error) {
    // Build the empty database beside the final name, then move it in: a start that is cut
    // short never leaves a half-made Quorvex.mdb behind.
    const QString partial = path + QStringLiteral(".new");
    QFile::remove(partial);
    const QString name = connectionName_ + QStringLiteral("-create");
    bool ok = true;
    QString message;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(partial);
        if (!db.open()) {
            ok = false;
            message = db.lastError().text();
        } else {
            ok = db.transaction();
            for (const QString& sql : historySchemaStatements()) {
                if (ok && !exec(db, sql, &message))
                    ok = false;
            }
            ok = ok && db.commit();
            if (!ok && message.isEmpty())
                message = db.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (ok && !(syncFile(partial) && std::rename(QFile::encodeName(partial).constData(),
                                                 QFile::encodeName(path).constData()) == 0)) {
        ok = false;
        message = QStringLiteral("the file could not be written");
    }
    if (!ok) {
        QFile::remove(partial);
        if (error)
            *error = QStringLiteral("无法创建历史数据库 %1：%2").arg(path, message);
    }
    return ok;
}

bool HistoryStore::openConnection(const QString& path, QString* error) {
    auto fail = [&](const QString& why) {
        close();
        if (error)
            *error = QStringLiteral("%1 不是可读取的历史数据库（%2），文件未作任何改动。")
                         .arg(path, why);
        return false;
    };
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(path);
    if (!QFileInfo(path).isWritable())
        db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db_.open())
        return fail(db_.lastError().text());
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("PRAGMA table_info(Lishi)")))
        return fail(sqlError(q));
    QStringList have;
    while (q.next())
        have << q.value(1).toString().toLower();
    if (have.isEmpty())
        return fail(QStringLiteral("没有 Lishi 表"));
    for (const QString& c : requiredLishiColumns()) {
        if (!have.contains(c.toLower()))
            return fail(QStringLiteral("Lishi 表缺少字段 %1").arg(c));
    }
    if (!q.exec(QStringLiteral("SELECT Nmb, Count FROM Carcu LIMIT 1")))
        return fail(QStringLiteral("没有 Carcu 表"));
    if (!QFileInfo(path).isWritable()) {
        close();
        if (error)
            *error = QStringLiteral("历史数据库 %1 是只读文件，无法写入。").arg(path);
        return false;
    }
    // The searches rewrite working columns across the whole table: keep it in memory, and
    // write ahead so a commit appends the changed pages instead of journalling the old ones.
    q.exec(QStringLiteral("PRAGMA cache_size = -65536"));
    q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    // Consecutive searches rewrite mostly the same pages: fold the log into the file every
    // 16 MB rather than every 4, so a page is written back once for several searches.
    q.exec(QStringLiteral("PRAGMA wal_autocheckpoint = 4000"));
    q.exec(QStringLiteral("PRAGMA journal_size_limit = 67108864"));
    return true;
}

HistoryView HistoryStore::loadView(QString* error) const {
    QVector<StoredDraw> rows;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(viewStatement())) {
        if (error)
            *error = sqlError(q);
        return {};
    }
    while (q.next()) {
        StoredDraw d;
        d.issue = q.value(0).toLongLong();
        int col = 1;
        for (int i = 0; i < kPositions; ++i)
            for (int k = 0; k < kKindCount; ++k)
                d.attributes.value[i][k] = q.value(col++).toInt();
        rows.append(d);
    }
    return HistoryView(std::move(rows));
}

std::optional<StoredDraw> HistoryStore::lastDraw(QString* error) const {
    return drawBack(std::nullopt, 0, error);
}

std::optional<QVector<DrawNumbers>> HistoryStore::loadNumbers(QString* error) const {
    QVector<DrawNumbers> rows;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    bool ok = q.exec(QStringLiteral("SELECT SQQH,L1A,L2A,L3A,L4A,L5A FROM Lishi ORDER BY SQQH"));
    while (ok && q.next()) {
        DrawNumbers d;
        d.issue = q.value(0).toLongLong();
        for (int i = 0; i < kPositions; ++i)
            d.numbers[i] = q.value(i + 1).toInt();
        rows.append(d);
    }
    // next() also ends on an error: only a clean end means every row was read.
    if (!ok || q.lastError().isValid()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(sqlError(q));
        return std::nullopt;
    }
    return rows;
}

std::optional<HistoryStore::Span> HistoryStore::span(QString* error) const {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT COUNT(*), MIN(SQQH), MAX(SQQH) FROM Lishi")) || !q.next()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(sqlError(q));
        return std::nullopt;
    }
    return Span{q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong()};
}

std::optional<StoredDraw> HistoryStore::drawBack(std::optional<qint64> atMost, int back,
                                                 QString* error) const {
    QSqlQuery q(db_);
    QString sql = viewStatement();
    sql.replace(QStringLiteral("ORDER BY SQQH"),
                QStringLiteral("%1 ORDER BY SQQH DESC LIMIT 1 OFFSET ?")
                    .arg(atMost ? QStringLiteral("WHERE SQQH <= ?") : QString()));
    q.prepare(sql);
    if (atMost)
        q.addBindValue(*atMost);
    q.addBindValue(qMax(0, back));
    if (!q.exec()) {
        if (error)
            *error = sqlError(q);
        return std::nullopt;
    }
    if (!q.next()) {
        if (q.lastError().isValid() && error)
            *error = sqlError(q);
        return std::nullopt;
    }
    StoredDraw d;
    d.issue = q.value(0).toLongLong();
    int col = 1;
    for (int i = 0; i < kPositions; ++i)
        for (int k = 0; k < kKindCount; ++k)
            d.attributes.value[i][k] = q.value(col++).toInt();
    return d;
}

qint64 HistoryStore::drawCount(QString* error) const {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM Lishi")) || !q.next()) {
        if (error)
            *error = sqlError(q);
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
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    Transaction transaction(*this);
    if (!transaction.begun())
        return fail(QStringLiteral("无法写入历史数据库，未保存：%1").arg(db_.lastError().text()));
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
                    zodiacYear, &why) ||
        !transaction.commit(&why))
        return fail(QStringLiteral("第 %1 期未保存：%2").arg(stored).arg(why));
    return stored;
}

bool HistoryStore::Delrec(QString* error) {
    return exec(db_, QStringLiteral("DELETE FROM Lishi"), error);
}

bool HistoryStore::deleteLastDraw(QString* error) {
    return exec(db_, QStringLiteral("DELETE FROM Lishi WHERE SQQH = (SELECT MAX(SQQH) FROM Lishi)"),
                error);
}

bool HistoryStore::CompactDb(QString* error) {
    const QString path = databasePath();
    const QString tmp = QDir(folder_).filePath(compactFileName());
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("压缩历史数据库失败（%1），历史号码保持不变。").arg(why);
        return false;
    };
    if (QFileInfo::exists(tmp) && !QFile::remove(tmp))
        return fail(QStringLiteral("无法删除旧的临时文件 %1").arg(tmp));

    QString why;
    {
        QSqlQuery q(db_);
        q.prepare(QStringLiteral("VACUUM INTO ?"));
        q.addBindValue(tmp);
        if (!q.exec()) {
            why = sqlError(q);
        }
    }
    // Check the copy before it may replace the history.
    if (why.isEmpty()) {
        const qint64 expected = drawCount(&why);
        const QString name = connectionName_ + QStringLiteral("-check");
        {
            QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            check.setDatabaseName(tmp);
            check.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            QSqlQuery q(check);
            if (!check.open() || !q.exec(QStringLiteral("SELECT COUNT(*) FROM Lishi")) ||
                !q.next() || q.value(0).toLongLong() != expected)
                why = QStringLiteral("压缩后的文件不完整");
            check.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    if (why.isEmpty() && !syncFile(tmp))
        why = QStringLiteral("无法写入临时文件");
    if (!why.isEmpty()) {
        QFile::remove(tmp);
        return fail(why);
    }

    const QString folder = folder_;
    close();
    // Closing the last connection folds the write-ahead log into the file and removes it. A log
    // still there belongs to another program using the history; it must never meet the new file.
    if (QFileInfo::exists(path + QStringLiteral("-wal"))) {
        QFile::remove(tmp);
        QString reopenError;
        open(folder, &reopenError);
        return fail(QStringLiteral("另一个程序正在使用历史数据库"));
    }
    // rename() replaces the old file in one step: at every moment one complete history exists.
    const bool swapped =
        std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) == 0;
    if (swapped) {
        const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    QString reopenError;
    if (!open(folder, &reopenError))
        return fail(reopenError);
    if (!swapped) {
        QFile::remove(tmp);
        return fail(QStringLiteral("无法替换数据库文件"));
    }
    return true;
}

HistoryStore::Transaction::Transaction(HistoryStore& store, Writes writes) : db_(store.db_) {
    if (writes == Writes::WorkingColumns) {
        QSqlQuery q(db_);
        relaxed_ = q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
    if (writes == Writes::Draws) {
        QSqlQuery q(db_);
        begun_ = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        begun_ = db_.transaction();
    }
}

HistoryStore::Transaction::~Transaction() {
    if (begun_ && !done_)
        db_.rollback();
    end();
}

void HistoryStore::Transaction::end() {
    if (relaxed_) {
        QSqlQuery q(db_);
        q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
        relaxed_ = false;
    }
}

bool HistoryStore::Transaction::commit(QString* error) {
    if (!begun_) {
        if (error)
            *error = db_.lastError().text();
        return false;
    }
    done_ = true;
    if (!db_.commit()) {
        if (error)
            *error = db_.lastError().text();
        db_.rollback();
        end();
        return false;
    }
    end();
    return true;
}

} // namespace quorvex
