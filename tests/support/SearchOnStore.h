#pragma once

#include "analysis/FollowResult.h"
#include "analysis/SearchRequest.h"
#include "analysis/TrendFigures.h"

#include "store/HistoryStore.h"

#include <optional>

namespace quorvex::test {

// A search on the history as it stands, through a snapshot of its own, as a session runs it;
// nothing and the reason when the request is refused or the history cannot be read.
std::optional<FollowResult> runFollowSearch(const HistoryStore& store, const SearchRequest& r,
                                            QString* error);
std::optional<FollowResult> runCombinationSearch(const HistoryStore& store, const SearchRequest& r,
                                                 int k, QString* error);

// The trend of a kind over the issues from..to, or the last `last` of them when last > 0, read
// afresh under the default bases; nothing and the reason when it cannot be worked out.
std::optional<TrendFigures> trendOnStore(const HistoryStore& store, int kind, qint64 from,
                                         qint64 to, qsizetype last, QString* error);

} // namespace quorvex::test
