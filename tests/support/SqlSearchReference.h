#pragma once

#include "analysis/FollowSearch.h"

namespace quorvex::test {

// The working columns and Carcu as set-based SQL statements leave them, written without the
// searches' in-memory code: the follow search (k = 0) or the combination search of k positions
// marks the rows, and Carcu gets the tally of the selected rows in the issue range. Runs on
// store's connection inside the caller's transaction.
bool referenceSearch(HistoryStore& store, const SearchRequest& request, int k, QString* error);

} // namespace quorvex::test
