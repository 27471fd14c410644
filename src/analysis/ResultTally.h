#pragma once

#include "FollowSearch.h"

namespace quorvex {

// Which rows of Lishi a search selected, as an SQL condition over the row, with its values.
struct Selection {
    QString condition; // e.g. "intTh = ?"
    QVariantList values;
};

// ShowFollowResults: lists the selected follow draws within the issue range, tallies the result
// kind over their five positions, rewrites Carcu and ranks the values. Runs inside the caller's
// transaction.
std::optional<FollowResult> ShowFollowResults(HistoryStore& store, const Selection& selection,
                                              qint64 startIssue, qint64 endIssue,
                                              const SearchRequest& request, QString* error);

// The percentage cell: count * 100 / denominator with three decimals and "%"; empty when
// there is no follow draw.
QString percentageText(qint64 count, qint64 denominator);

} // namespace quorvex
