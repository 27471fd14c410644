#include "StepTable.h"

#include "SqliteStatement.h"
#include "TableNames.h"

namespace quorvex {

namespace {

QString readError(const SqliteStatement& q) {
    return QStringLiteral("无法读取修改记录：%1").arg(q.errorText());
}

QString writeError(const SqliteStatement& q) {
    return QStringLiteral("无法写入修改记录：%1").arg(q.errorText());
}

bool run(HistoryConnection& store, const QString& sql, std::optional<qint64> value,
         QString* error) {
    SqliteStatement q(store);
    if (q.prepare(sql)) {
        if (value)
            q.bind(1, *value);
        if (q.exec())
            return true;
    }
    *error = writeError(q);
    return false;
}

} // namespace

QString stepTableName() {
    return QStringLiteral("Steps");
}

QString earlierStepTableName() {
    return QStringLiteral("Buzhou");
}

std::optional<QVector<StoredStep>> readStoredSteps(const HistoryConnection& store, bool withAdded,
                                                   QString* error) {
    QVector<StoredStep> out;
    // A file that could not be brought to today's names (one only read) is read as it stands.
    const auto table = existingTable(store, {stepTableName(), earlierStepTableName()}, error);
    if (!table)
        return std::nullopt;
    if (table->isEmpty())
        return out;
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral("SELECT id, name, taken, undone, kind, firstAdded, %1, "
                                 "beforeHash, afterHash, afterNumbers, beforeCopy, afterCopy "
                                 "FROM %2 ORDER BY id DESC")
                      .arg(withAdded ? QStringLiteral("added") : QStringLiteral("NULL"), *table))) {
        while (q.next()) {
            StoredStep& s = out.emplaceBack();
            s.id = q.integer(0);
            s.name = q.text(1);
            s.takenMs = q.integer(2);
            s.undone = q.integer(3) != 0;
            s.kind = q.integer(4);
            if (!q.isNull(5))
                s.firstAdded = q.integer(5);
            s.added = q.blob(6).toByteArray();
            s.beforeHash = q.blob(7).toByteArray();
            s.afterHash = q.blob(8).toByteArray();
            s.afterNumbers = q.blob(9).toByteArray();
            s.beforeCopy = q.text(10);
            s.afterCopy = q.text(11);
        }
    }
    if (q.lastError().isValid())
        return *error = readError(q), std::nullopt;
    return out;
}

bool createStepTable(HistoryConnection& store, QString* error) {
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral(
                      "CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                      "taken INTEGER NOT NULL, undone INTEGER NOT NULL, kind INTEGER NOT NULL, "
                      "firstAdded INTEGER, added BLOB, beforeHash BLOB, afterHash BLOB, "
                      "afterNumbers BLOB, beforeCopy TEXT, afterCopy TEXT)")
                      .arg(stepTableName())) &&
        q.exec())
        return true;
    *error = QStringLiteral("无法建立修改记录：%1").arg(q.errorText());
    return false;
}

bool deleteUndoneSteps(HistoryConnection& store, QString* error) {
    return run(store, QStringLiteral("DELETE FROM %1 WHERE undone <> 0").arg(stepTableName()),
               std::nullopt, error);
}

bool deleteStepsUpTo(HistoryConnection& store, qint64 id, QString* error) {
    return run(store, QStringLiteral("DELETE FROM %1 WHERE id <= ?").arg(stepTableName()), id,
               error);
}

bool insertStep(HistoryConnection& store, const StoredStep& step, QString* error) {
    SqliteStatement insert(store);
    if (insert.prepare(QStringLiteral("INSERT INTO %1 (id, name, taken, undone, kind, firstAdded, "
                                      "added, beforeHash, afterHash, afterNumbers, beforeCopy, "
                                      "afterCopy) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                           .arg(stepTableName()))) {
        insert.bind(1, step.id);
        insert.bind(2, step.name);
        insert.bind(3, step.takenMs);
        insert.bind(4, qint64(step.undone ? 1 : 0));
        insert.bind(5, step.kind);
        if (step.firstAdded) {
            insert.bind(6, *step.firstAdded);
            insert.bindBlob(7, step.added);
        } else {
            insert.bindNull(6);
            insert.bindNull(7);
        }
        insert.bindBlob(8, step.beforeHash);
        insert.bindBlob(9, step.afterHash);
        insert.bindBlob(10, step.afterNumbers);
        insert.bind(11, step.beforeCopy);
        insert.bind(12, step.afterCopy);
        if (insert.exec())
            return true;
    }
    *error = writeError(insert);
    return false;
}

bool updateStep(HistoryConnection& store, const StoredStep& step, QString* error) {
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral("UPDATE %1 SET undone = ?, afterCopy = ?, afterHash = ?, "
                                 "beforeHash = ? WHERE id = ?")
                      .arg(stepTableName()))) {
        q.bind(1, qint64(step.undone ? 1 : 0));
        q.bind(2, step.afterCopy);
        q.bindBlob(3, step.afterHash);
        q.bindBlob(4, step.beforeHash);
        q.bind(5, step.id);
        if (q.exec() && q.changes() == 1)
            return true;
    }
    *error = writeError(q);
    return false;
}

} // namespace quorvex
