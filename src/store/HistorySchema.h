#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace quorvex {

// One column of the history table Lishi.
struct LishiColumn {
    enum Type { Integer, Text };
    QString name;
    Type type = Integer;
    QString constraint; // after the type in the table's definition, such as "PRIMARY KEY"
    // Files without it are still histories (strQQH was never written by any version).
    bool required = true;
};

// Lishi in table order, described once for whoever creates, checks, reads or writes it: the key
// SQQH, QQH, strQQH, the 30 attributes, their "S" and "P" comparison columns, txtHisLst, the six
// code texts, txtHisPreLst, the six lagged code texts, intTh, bolOk and txtHisP6. The comparison
// and lagged columns, intTh, bolOk, txtHisP6 and the table Carcu stay in the schema so that files
// of every version open alike; nothing reads or writes them.
QVector<LishiColumn> lishiColumns();

// The columns a file must have in Lishi to be taken as a history database.
QStringList requiredLishiColumns();

// The 30 attribute columns L1A..L5H in position-major order (position 1..5, kind 0..5).
QStringList attributeColumns();

// The columns a stored draw is written with, in this order: SQQH, QQH, the 30 attributes,
// txtHisLst and the six code texts.
QStringList drawColumns();

// The tables of the history database: Lishi and Carcu (Nmb, Count).
QStringList historySchemaStatements();

// Creates an empty history database with the full schema at path, through a temporary
// connection of the given name. The file is built beside path and moved in once complete, so
// a start cut short never leaves a half-made file behind.
bool createHistoryFile(const QString& path, const QString& connectionName, QString* error);

} // namespace quorvex
