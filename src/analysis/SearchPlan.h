#pragma once

#include "SearchRequest.h"

#include "store/HistorySnapshot.h"

#include <QByteArrayList>
#include <QStringList>
#include <QVector>

#include <array>
#include <optional>
#include <vector>

namespace quorvex {

// A follow or combination request resolved against a snapshot once: the rows of its range, the
// columns and tokens its scans read, the result kind's columns, range and value names. The scans
// and the tally read these; the snapshot is asked again only for cells no byte column holds and
// for listing the follow draws.
struct SearchPlan {
    SearchRequest request; // a combination ticks every position
    const HistorySnapshot* snapshot = nullptr;
    qsizetype begin = 0; // the follow draws' rows: [begin, end)
    qsizetype end = 0;
    QVector<int> ticked; // positions 1..5

    // Fixed positions: the search kind's column of each position as bytes; null where a value
    // does not fit one.
    std::array<const qint8*, kPositions> searchBytes{};
    // Free positions: the tokens of each row's code text and the reference's. Without need (a
    // token no bit stands for), the code texts are searched for wantedTokens instead.
    const std::vector<Tokens>* rowTokens = nullptr;
    std::optional<Tokens> need;
    QByteArrayList wantedTokens;

    // The result kind: its values, their names, and its column of each position as bytes (null
    // where a value does not fit one).
    ValueRange values{0, -1};
    QStringList names;
    std::array<const qint8*, kPositions> resultBytes{};
};

// The plan of a request that passed validateRequest, on a snapshot holding searchColumns of it.
SearchPlan planSearch(const HistorySnapshot& snapshot, const SearchRequest& request,
                      bool combination);

} // namespace quorvex
