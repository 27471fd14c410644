#pragma once

#include "SearchAnswer.h"

#include "HistoryView.h"

#include <array>

namespace quorvex::bench {

// The history's issues and attribute values in plain arrays, read before any timing.
struct MemoryHistory {
    QVector<qint64> issues;                                            // ascending
    using Row = std::array<std::array<qint8, kPositions>, kKindCount>; // [kind][position]
    QVector<Row> values;

    static MemoryHistory fromView(const HistoryView& view);
};

// The follow question answered by one pass over the arrays: which draws of the issue range
// are follow draws, and the tally of the result kind over their positions.
SearchAnswer followPass(const MemoryHistory& history, const SearchRequest& request);

// The same for the combination search over every group of k positions.
SearchAnswer combinationPass(const MemoryHistory& history, const SearchRequest& request, int k);

inline SearchAnswer memoryPass(const MemoryHistory& history, const BenchRequest& request) {
    return request.combination ? combinationPass(history, request.search, request.k)
                               : followPass(history, request.search);
}

} // namespace quorvex::bench
