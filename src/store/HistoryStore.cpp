#include "HistoryStore.h"

#include "draw/HistoryLine.h"
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

namespace {

// Issues have seven digits at most: no draw is stored past 9999999, which no history text
// line could carry.
QString pastLastIssue(qint64 last) {
    return QStringLiteral("最后一期是第 %1 期：期号最多七位数字（到 9999999），没有下一期。")
        .arg(last);
}

} // namespace

std::optional<qint64> HistoryStore::nextIssue(const QDate& today, QString* error) const {
    QString why;
    const auto last = lastDraw(&why);
    if (!why.isEmpty()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(why);
        return std::nullopt;
    }
    if (last && !historyLineCarries(last->issue + 1)) {
        if (error)
            *error = pastLastIssue(last->issue);
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
    if (!historyLineCarries(stored))
        return fail(previous && !issue
                        ? pastLastIssue(previous->issue) + QStringLiteral("未保存。")
                        : QStringLiteral("期号 %1 不是七位以内的期号，未保存。").arg(stored));
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

bool HistoryStore::CompactDb(CompactionKey, QString* error) {
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
    rollback();
}

bool HistoryStore::Transaction::rollback() {
    if (!begun_ || done_)
        return true;
    done_ = true;
    return db_.rollback();
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
