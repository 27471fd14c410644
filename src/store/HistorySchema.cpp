#include "HistorySchema.h"

#include "HistoryFileAccess.h"

#include "draw/AttributeKind.h"
#include "DurableFile.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

namespace quorvex {

QStringList attributeColumns() {
    QStringList cols;
    for (int i = 1; i <= kPositions; ++i)
        for (int k = 0; k < kKindCount; ++k)
            cols << attributeColumn(i, k);
    return cols;
}

QVector<LishiColumn> lishiColumns() {
    using C = LishiColumn;
    QVector<C> cols{{QStringLiteral("SQQH"), C::Integer, QStringLiteral("PRIMARY KEY")},
                    {QStringLiteral("QQH"), C::Integer},
                    {QStringLiteral("strQQH"), C::Text, {}, false}};
    const QStringList attributes = attributeColumns();
    for (const QString& suffix : {QString(), QStringLiteral("S"), QStringLiteral("P")})
        for (const QString& c : attributes)
            cols.append({c + suffix, C::Integer});
    cols.append({QStringLiteral("txtHisLst"), C::Text});
    for (int k = 0; k < kKindCount; ++k)
        cols.append({codeColumn(k), C::Text});
    cols.append({QStringLiteral("txtHisPreLst"), C::Text});
    for (int k = 0; k < kKindCount; ++k)
        cols.append({preCodeColumn(k), C::Text});
    cols.append({QStringLiteral("intTh"), C::Integer, QStringLiteral("NOT NULL DEFAULT 0")});
    cols.append({QStringLiteral("bolOk"), C::Integer, QStringLiteral("NOT NULL DEFAULT 0")});
    cols.append({QStringLiteral("txtHisP6"), C::Text});
    return cols;
}

QStringList requiredLishiColumns() {
    QStringList names;
    for (const LishiColumn& c : lishiColumns())
        if (c.required)
            names << c.name;
    return names;
}

QStringList drawColumns() {
    QStringList cols{QStringLiteral("SQQH"), QStringLiteral("QQH")};
    cols << attributeColumns() << QStringLiteral("txtHisLst");
    for (int k = 0; k < kKindCount; ++k)
        cols << codeColumn(k);
    return cols;
}

QStringList historySchemaStatements() {
    QStringList defs;
    for (const LishiColumn& c : lishiColumns()) {
        QString def = c.name + (c.type == LishiColumn::Integer ? QStringLiteral(" INTEGER")
                                                               : QStringLiteral(" TEXT"));
        if (!c.constraint.isEmpty())
            def += QLatin1Char(' ') + c.constraint;
        defs << def;
    }
    return {QStringLiteral("CREATE TABLE Lishi (") + defs.join(QStringLiteral(", ")) +
                QLatin1Char(')'),
            QStringLiteral("CREATE TABLE Carcu (Nmb INTEGER, Count INTEGER)")};
}

bool createHistoryFile(const QString& path, const QString& connectionName, QString* error) {
    // Build the empty database beside the final name, then move it in: a start that is cut
    // short never leaves a half-made Quorvex.mdb behind.
    const QString partial = path + QStringLiteral(".new");
    QFile::remove(partial);
    const QString& name = connectionName;
    bool ok = true;
    QString message;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(partial);
        if (!db.open()) {
            ok = false;
            message = sqliteReason(db.lastError());
        } else {
            ok = db.transaction();
            for (const QString& sql : historySchemaStatements()) {
                QSqlQuery q(db);
                if (ok && !q.exec(sql)) {
                    message = sqliteReason(q.lastError());
                    ok = false;
                }
            }
            ok = ok && db.commit();
            if (!ok && message.isEmpty())
                message = sqliteReason(db.lastError());
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

} // namespace quorvex
