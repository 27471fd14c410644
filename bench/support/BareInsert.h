#pragma once

#include "store/HistoryStore.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

#include <optional>

namespace quorvex::bench {

// The columns the draw writer fills, as a history stores them, for every row in issue order.
struct WrittenRows {
    struct Cell {
        enum Type { Null, Integer, Text } type = Null;
        qint64 integer = 0;
        QByteArray text; // UTF-8
    };
    QStringList columns;
    QVector<Cell> cells; // row-major
    int rowCount = 0;
};

// Reads the written columns of every row of an open history.
std::optional<WrittenRows> readWrittenRows(const HistoryStore& store);

// The floor under any writer of these rows: one transaction of bare inserts through SQLite's C
// API, the values ready, into a fresh history made by HistoryStore::open (same schema and
// pragmas, synced commit). Milliseconds from BEGIN to COMMIT; nothing on a failure (printed).
std::optional<double> timeBareInsert(const WrittenRows& rows);

} // namespace quorvex::bench
