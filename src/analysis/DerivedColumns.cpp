#include "DerivedColumns.h"

#include <QSqlQuery>

namespace quorvex {

namespace {

struct State {
    qint64 totalChanges = -1;
    qint64 dataVersion = -1;
    QHash<QString, QString> columns;
    quint64 generation = 0;
};

// One state per connection; a reopened database gets a new connection name.
QHash<QString, State>& states() {
    static QHash<QString, State> all;
    return all;
}

qint64 scalar(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        return -2;
    return q.value(0).toLongLong();
}

qint64 totalChanges(const QSqlDatabase& db) {
    return scalar(db, QStringLiteral("SELECT total_changes()"));
}

qint64 dataVersion(const QSqlDatabase& db) {
    return scalar(db, QStringLiteral("PRAGMA data_version"));
}

// Unique over every connection, so a reused connection name never meets an old generation.
quint64 nextGeneration() {
    static quint64 last = 0;
    return ++last;
}

} // namespace

DerivedColumns::DerivedColumns(HistoryStore& store) : store_(store) {
    const QSqlDatabase db = store_.database();
    State& s = states()[db.connectionName()];
    if (totalChanges(db) != s.totalChanges || dataVersion(db) != s.dataVersion) {
        s.columns.clear();
        s.generation = nextGeneration();
    }
}

quint64 DerivedColumns::generation() const {
    return states().value(store_.database().connectionName()).generation;
}

bool DerivedColumns::holds(const QString& column, const QString& key) const {
    const auto it = states().constFind(store_.database().connectionName());
    return it != states().constEnd() && !key.isEmpty() && it->columns.value(column) == key;
}

void DerivedColumns::committed() {
    const QSqlDatabase db = store_.database();
    State& s = states()[db.connectionName()];
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) {
        if (it.value().isEmpty())
            s.columns.remove(it.key());
        else
            s.columns.insert(it.key(), it.value());
    }
    pending_.clear();
    s.totalChanges = totalChanges(db);
    s.dataVersion = dataVersion(db);
}

} // namespace quorvex
