#include "TestHistory.h"

#include <QSettings>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include "store/SqliteStatement.h"

#include <sqlite3.h>

namespace quorvex::test {

void isolateSettings(const QString& folder) {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

TempHistory::TempHistory() {
    QString error;
    if (!store_.open(dir_.path(), &error))
        qFatal("cannot open a test history: %s", qPrintable(error));
}

void TempHistory::append(qint64 issue, const Numbers& numbers, const ValueBases& bases) {
    ZodiacYear zodiac;
    QString error;
    std::optional<DrawAttributes> previous;
    if (const auto last = store_.lastDraw())
        previous = last->attributes;
    if (!store_.AppendDraw(issue, numbers, issue, previous, bases, zodiac, &error))
        qFatal("append failed: %s", qPrintable(error));
}

void TempHistory::appendMany(qint64 firstIssue, const QVector<Numbers>& draws,
                             const ValueBases& bases) {
    // One transaction (unless the caller has one): a commit each would wait for the disk.
    std::optional<HistoryStore::Transaction> transaction;
    if (sqlite3_get_autocommit(sqliteHandle(store_)))
        transaction.emplace(store_);
    for (qsizetype i = 0; i < draws.size(); ++i)
        append(firstIssue + i, draws[i], bases);
    QString error;
    if (transaction && !transaction->commit(&error))
        qFatal("append failed: %s", qPrintable(error));
}

QString TempHistory::text(qint64 issue, const QString& column) {
    QSqlQuery q(store_.database());
    q.prepare(QStringLiteral("SELECT %1 FROM Lishi WHERE SQQH = ?").arg(column));
    q.addBindValue(issue);
    if (!q.exec() || !q.next())
        qFatal("no row %lld", issue);
    return q.value(0).toString();
}

int TempHistory::integer(qint64 issue, const QString& column) {
    return text(issue, column).toInt();
}

TableRows tableRows(const HistoryStore& store) {
    TableRows rows;
    QSqlQuery q(store.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT * FROM Lishi ORDER BY SQQH")))
        qFatal("cannot read the history");
    const int columns = q.record().count();
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < columns; ++c)
            row << q.value(c);
        rows << row;
    }
    return rows;
}

QVector<qint64> storedIssues(const HistoryStore& store) {
    QVector<qint64> out;
    const HistoryView view = readHistoryView(store);
    for (const StoredDraw& d : view.rows())
        out << d.issue;
    return out;
}

} // namespace quorvex::test
