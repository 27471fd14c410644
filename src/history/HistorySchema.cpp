#include "HistorySchema.h"

#include "AttributeKind.h"
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

QStringList requiredLishiColumns() {
    QStringList cols{QStringLiteral("SQQH"), QStringLiteral("QQH")};
    cols << attributeColumns();
    for (QChar suffix : {QLatin1Char('S'), QLatin1Char('P')})
        for (const QString& c : attributeColumns())
            cols << c + suffix;
    cols << QStringLiteral("txtHisLst") << QStringLiteral("txtHisPreLst");
    for (int k = 0; k < kKindCount; ++k)
        cols << codeColumn(k) << preCodeColumn(k);
    cols << QStringLiteral("intTh") << QStringLiteral("bolOk") << QStringLiteral("txtHisP6");
    return cols;
}

QStringList historySchemaStatements() {
    QStringList defs;
    defs << QStringLiteral("SQQH INTEGER PRIMARY KEY") << QStringLiteral("QQH INTEGER")
         << QStringLiteral("strQQH TEXT");
    for (const QString& c : attributeColumns())
        defs << c + QStringLiteral(" INTEGER");
    for (QChar suffix : {QLatin1Char('S'), QLatin1Char('P')})
        for (const QString& c : attributeColumns())
            defs << c + suffix + QStringLiteral(" INTEGER");
    defs << QStringLiteral("txtHisLst TEXT");
    for (int k = 0; k < kKindCount; ++k)
        defs << codeColumn(k) + QStringLiteral(" TEXT");
    defs << QStringLiteral("txtHisPreLst TEXT");
    for (int k = 0; k < kKindCount; ++k)
        defs << preCodeColumn(k) + QStringLiteral(" TEXT");
    defs << QStringLiteral("intTh INTEGER NOT NULL DEFAULT 0")
         << QStringLiteral("bolOk INTEGER NOT NULL DEFAULT 0") << QStringLiteral("txtHisP6 TEXT");

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
            message = db.lastError().text();
        } else {
            ok = db.transaction();
            for (const QString& sql : historySchemaStatements()) {
                QSqlQuery q(db);
                if (ok && !q.exec(sql)) {
                    message = q.lastError().text();
                    ok = false;
                }
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

} // namespace quorvex
