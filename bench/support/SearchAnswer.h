#pragma once

#include "analysis/FollowResult.h"
#include "analysis/SearchRequest.h"

#include <QString>
#include <QVector>

namespace quorvex::bench {

// The follow question's answer that every way of answering must agree on: how many follow
// draws, and the tally of the result kind's values over their five positions.
struct SearchAnswer {
    qint64 followDraws = 0;
    int lo = 0;             // the first value of the result kind
    QVector<qint64> counts; // one per value from lo on

    bool operator==(const SearchAnswer& other) const = default;
    // "412 follow draws; 1:130 2:141 ..." for a mismatch message.
    QString text() const;
};

// The answer a search's result holds: its follow draws and the bars in value order.
SearchAnswer answerOf(const FollowResult& result);

// One request as the benchmarks pose it to every answerer: a follow search, or a combination
// search over groups of k positions.
struct BenchRequest {
    SearchRequest search;
    bool combination = false;
    int k = 0;
    QString label; // the mode's name, for messages
};

} // namespace quorvex::bench
