#pragma once

#include "HistoryConnection.h"

#include <QString>
#include <QVector>

#include <optional>

namespace quorvex {

// The table DerivedMark of the history file: the mark that every row of Lishi stands as this
// program's writers derive it (changes/DerivedRowsMark.h gives it its meaning). One row when
// there is a mark; anything else is no mark.
struct StoredMark {
    qint64 counter = 0;          // the file change counter the mark names
    std::optional<qint64> bases; // the writers' bases, where one set of them derived the rows
    QString derivation;
};

// The table's name, and the one it had in files written by earlier versions.
QString markTableName();
QString earlierMarkTableName();

// The rows the table holds; empty for a file without it, nothing where it could not be read.
std::optional<QVector<StoredMark>> readStoredMarks(const HistoryConnection& store);

// Inside the caller's write transaction: the table then holds mark alone, or nothing.
bool writeMark(HistoryConnection& store, const StoredMark& mark);
bool dropMark(HistoryConnection& store);

// Inside a write transaction that changes no row: a mark naming the state counter names the
// state the commit leaves. Nothing to do is no error.
bool moveMarkOn(HistoryConnection& store, quint32 counter, QString* error);

} // namespace quorvex
