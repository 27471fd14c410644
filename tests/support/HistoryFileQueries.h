#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>

namespace quorvex::test {

// Reads the history file in folder through a connection of its own, as another program would:
// runs sql with binds and hands each row to row. False when the file cannot be opened or the
// query fails.
bool queryHistoryFile(const QString& folder, const QString& sql, const QVariantList& binds,
                      const std::function<void(const QSqlQuery&)>& row);

// One stored field of an issue; invalid when there is none.
QVariant storedField(const QString& folder, qint64 issue, const QString& column);

} // namespace quorvex::test
