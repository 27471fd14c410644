#pragma once

#include <QString>
#include <QStringList>

namespace quorvex {

// The tables of the history database: Lishi (one row per draw, with the searches' working
// columns) and Carcu (the result tally).
QStringList historySchemaStatements();

// Creates an empty history database with the full schema at path, through a temporary
// connection of the given name. The file is built beside path and moved in once complete, so
// a start cut short never leaves a half-made file behind.
bool createHistoryFile(const QString& path, const QString& connectionName, QString* error);

// Columns a file must have in Lishi to be taken as a history database.
QStringList requiredLishiColumns();

// The 30 attribute columns L1A..L5H in position-major order.
QStringList attributeColumns();

} // namespace quorvex
