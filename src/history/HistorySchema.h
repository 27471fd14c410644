#pragma once

#include <QString>
#include <QStringList>

namespace quorvex {

// The tables of the history database: Lishi (one row per draw, with the searches' working
// columns) and Carcu (the result tally).
QStringList historySchemaStatements();

// Columns a file must have in Lishi to be taken as a history database.
QStringList requiredLishiColumns();

// The 30 attribute columns L1A..L5H in position-major order.
QStringList attributeColumns();

} // namespace quorvex
