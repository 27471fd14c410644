#pragma once

#include "FollowSearch.h"
#include "HistoryMirror.h"

namespace quorvex {

// Which rows a search selected: those whose integer column of the mirror holds value.
struct Selection {
    int column;
    qint32 value;
};

// ShowFollowResults: lists the selected follow draws within the request's issue range,
// tallies the result kind over their five positions and ranks the values.
FollowResult ShowFollowResults(const HistoryMirror& mirror, const Selection& selection,
                               const SearchRequest& request);

// Carcu keeps the tally of the last display: one row per value of the result kind. Runs
// inside the caller's transaction.
bool writeCarcu(HistoryStore& store, const QVector<FollowResult::Bar>& bars, QString* error);

// The percentage cell: count * 100 / denominator with three decimals and "%"; empty when
// there is no follow draw.
QString percentageText(qint64 count, qint64 denominator);

} // namespace quorvex
