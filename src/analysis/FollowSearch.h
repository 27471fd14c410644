#pragma once

#include "FollowResult.h"
#include "SearchRequest.h"

#include "store/HistorySnapshot.h"

namespace quorvex {

// The follow search: the follow draws of the request's issue range whose earlier draw agrees with
// the reference values in the ticked positions, tallied and compared with chance. The snapshot
// must hold searchColumns(request), and the request must have passed validateRequest.
// knownYears keeps the zodiac cut-offs met for later searches (fairDrawExpectation).
FollowResult followSearch(const HistorySnapshot& snapshot, const SearchRequest& request,
                          ZodiacYear* knownYears = nullptr);

} // namespace quorvex
