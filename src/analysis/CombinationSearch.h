#pragma once

#include "FollowResult.h"
#include "SearchRequest.h"

#include "store/HistorySnapshot.h"

namespace quorvex {

// The combination search: the follow draws whose earlier draw agrees with the reference values in
// at least one group of k positions out of the five (the ticked positions are not consulted),
// tallied and compared with chance. k must have passed validateCombinedPositions; the snapshot
// must hold searchColumns of the request.
FollowResult combinationSearch(const HistorySnapshot& snapshot, const SearchRequest& request, int k,
                               ZodiacYear* knownYears = nullptr);

} // namespace quorvex
