#include "MarkTable.h"

#include "SqliteStatement.h"
#include "TableNames.h"

namespace quorvex {

namespace {

bool run(HistoryConnection& store, const QString& sql) {
    SqliteStatement q(store);
    return q.prepare(sql) && q.exec();
}

} // namespace

QString markTableName() {
    return QStringLiteral("DerivedMark");
}

QString earlierMarkTableName() {
    return QStringLiteral("Paisheng");
}

std::optional<QVector<StoredMark>> readStoredMarks(const HistoryConnection& store) {
    QString ignored;
    const auto table = existingTable(store, {markTableName(), earlierMarkTableName()}, &ignored);
    if (!table)
        return std::nullopt;
    QVector<StoredMark> out;
    if (table->isEmpty())
        return out;
    SqliteStatement q(store);
    if (!q.prepare(QStringLiteral("SELECT counter, bases, derivation FROM %1").arg(*table)))
        return std::nullopt;
    while (q.next()) {
        StoredMark& m = out.emplaceBack();
        m.counter = q.integer(0);
        if (!q.isNull(1))
            m.bases = q.integer(1);
        m.derivation = q.text(2);
    }
    if (q.lastError().isValid())
        return std::nullopt;
    return out;
}

bool writeMark(HistoryConnection& store, const StoredMark& mark) {
    if (!run(store, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (counter INTEGER NOT NULL, "
                                   "bases INTEGER, derivation TEXT NOT NULL)")
                        .arg(markTableName())) ||
        !dropMark(store))
        return false;
    SqliteStatement q(store);
    if (!q.prepare(QStringLiteral("INSERT INTO %1 (counter, bases, derivation) VALUES (?, ?, ?)")
                       .arg(markTableName())))
        return false;
    q.bind(1, mark.counter);
    if (mark.bases)
        q.bind(2, *mark.bases);
    else
        q.bindNull(2);
    q.bind(3, mark.derivation);
    return q.exec();
}

bool dropMark(HistoryConnection& store) {
    QString ignored;
    const auto table = existingTable(store, {markTableName()}, &ignored);
    return table && (table->isEmpty() || run(store, QStringLiteral("DELETE FROM %1").arg(*table)));
}

bool moveMarkOn(HistoryConnection& store, quint32 counter, QString* error) {
    const auto table = existingTable(store, {markTableName()}, error);
    if (!table)
        return false;
    if (table->isEmpty())
        return true;
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral("UPDATE %1 SET counter = ? WHERE counter = ?").arg(*table))) {
        q.bind(1, qint64(quint32(counter + 1)));
        q.bind(2, qint64(counter));
        if (q.exec())
            return true;
    }
    *error = q.errorText();
    return false;
}

} // namespace quorvex
