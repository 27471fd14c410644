#pragma once

#include "analysis/FollowResult.h"
#include "analysis/SearchRequest.h"

#include "history/HistoryStore.h"

#include <optional>

namespace quorvex::test {

// A search on the history as it stands, through a snapshot of its own, as a session runs it;
// nothing and the reason when the request is refused or the history cannot be read.
std::optional<FollowResult> runFollowSearch(const HistoryStore& store, const SearchRequest& r,
                                            QString* error);
std::optional<FollowResult> runCombinationSearch(const HistoryStore& store, const SearchRequest& r,
                                                 int k, QString* error);

} // namespace quorvex::test
