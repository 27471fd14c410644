#include "TableNames.h"

#include "CheckVerdicts.h"
#include "MarkTable.h"
#include "SqliteStatement.h"
#include "StepTable.h"

#include <QPair>

namespace quorvex {

namespace {

bool run(HistoryConnection& store, const QString& sql, QString* error) {
    SqliteStatement q(store);
    if (q.prepare(sql) && q.exec())
        return true;
    if (error)
        *error = q.errorText();
    return false;
}

} // namespace

std::optional<QString> existingTable(const HistoryConnection& store, const QStringList& names,
                                     QString* error) {
    SqliteStatement q(store);
    if (!q.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        *error = QStringLiteral("无法读取历史数据库的表：%1").arg(q.errorText());
        return std::nullopt;
    }
    QStringList tables;
    while (q.next())
        tables << q.text(0);
    if (q.lastError().isValid()) {
        *error = QStringLiteral("无法读取历史数据库的表：%1").arg(q.errorText());
        return std::nullopt;
    }
    for (const QString& name : names)
        if (tables.contains(name))
            return name;
    return QString();
}

std::optional<QList<QPair<QString, QString>>> pendingRenames(const HistoryConnection& store,
                                                             QString* error) {
    QList<QPair<QString, QString>> out;
    for (const auto& [from, to] :
         QList<QPair<QString, QString>>{{earlierStepTableName(), stepTableName()},
                                        {earlierMarkTableName(), markTableName()}}) {
        const auto have = existingTable(store, {to, from}, error);
        if (!have)
            return std::nullopt;
        // Where both stand (an earlier version wrote the file after this one renamed it), the
        // table of today's name is the one kept and the other is left as it is.
        if (*have == from)
            out.append({from, to});
    }
    return out;
}

bool renameEarlierTables(HistoryConnection& store, QString* error) {
    QString why;
    const auto any = pendingRenames(store, &why);
    if (!any || any->isEmpty())
        return any.has_value() || (*error = why, false);

    const auto refused = [error](const QString& reason) {
        *error = QStringLiteral("无法把历史数据库的表改为本版本的名称：%1。文件未作任何改动。")
                     .arg(reason);
        return false;
    };
    const auto fail = [&](const QString& reason) {
        run(store, QStringLiteral("ROLLBACK"), nullptr);
        return refused(reason);
    };
    if (!run(store, QStringLiteral("BEGIN IMMEDIATE"), &why))
        return refused(why);
    // Read under the write lock: the state these belong to is the one the rename starts from.
    const auto counter = fileChangeCounter(store);
    const QMap<QString, QString> verdicts = CheckVerdicts(store).all();
    const auto renames = pendingRenames(store, &why);
    if (!renames)
        return fail(why);
    for (const auto& [from, to] : *renames)
        if (!run(store, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(from, to), &why))
            return fail(why);
    // A mark that named the file as it was names it as the rename leaves it.
    if (counter && !moveMarkOn(store, *counter, &why))
        return fail(why);
    if (!run(store, QStringLiteral("COMMIT"), &why))
        return fail(why);
    // Under a shared lock, so that no other commit can come between the counter and the note.
    if (counter && run(store, QStringLiteral("BEGIN"), nullptr)) {
        if (takeSharedLock(store) && fileChangeCounter(store) == quint32(*counter + 1))
            CheckVerdicts(store).keepOnly(verdicts);
        run(store, QStringLiteral("COMMIT"), nullptr);
    }
    return true;
}

} // namespace quorvex
