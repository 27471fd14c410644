#pragma once

#include "HistoryStore.h"
#include "SqliteStatement.h"

namespace quorvex {

// The store's insert of derived draws: AppendDraw stores one draw through it, the import, the
// online update and the rebuild many through one prepared statement, bound through SQLite's C
// API (no QVariant per value). Use it inside a HistoryStore::Transaction when more than one draw
// is written.
class DrawBulkWriter {
public:
    explicit DrawBulkWriter(HistoryStore& store);

    bool prepare(QString* error);
    // As HistoryStore::AppendDraw; prepare() must have succeeded.
    std::optional<DrawAttributes> append(qint64 issue, const Numbers& numbers, qint64 zodiacIssue,
                                         const std::optional<DrawAttributes>& previous,
                                         const ValueBases& bases, ZodiacYear& zodiacYear,
                                         QString* error);

private:
    SqliteStatement statement_;
    // A row's texts, bound without a copy: they stay until the row is written.
    std::array<AsciiText, kKindCount + 1> texts_;
};

} // namespace quorvex
