#pragma once

#include "history/HistoryStore.h"

#include <QSqlQuery>

namespace quorvex {

// Appends many draws through one prepared statement: each row holds exactly what AppendDraw
// stores, derived by the same functions, without preparing the statement once per draw.
// Use it inside a HistoryStore::Transaction.
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
    const HistoryStore& store_;
    QSqlQuery query_;
};

} // namespace quorvex
