#include "HistoryFileQueries.h"

#include <QDir>
#include <QSqlDatabase>

namespace quorvex::test {

bool queryHistoryFile(const QString& folder, const QString& sql, const QVariantList& binds,
                      const std::function<void(const QSqlQuery&)>& row) {
    const QString name = QStringLiteral("test-query");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QDir(folder).filePath(QStringLiteral("Quorvex.mdb")));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(sql);
            for (const QVariant& v : binds)
                q.addBindValue(v);
            ok = q.exec();
            while (ok && q.next())
                row(q);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QVariant storedField(const QString& folder, qint64 issue, const QString& column) {
    QVariant v;
    queryHistoryFile(folder, QStringLiteral("SELECT %1 FROM Lishi WHERE SQQH = ?").arg(column),
                     {issue}, [&v](const QSqlQuery& q) { v = q.value(0); });
    return v;
}

} // namespace quorvex::test
