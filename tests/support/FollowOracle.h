#pragma once

#include "HistoryView.h"
#include "SearchOnStore.h"

#include <functional>

namespace quorvex::test {

// The follow question answered from memory, independently of the search statements. earlier is
// the position of the draw a follow draw is matched through, -1 when there is none.
bool followMatches(const HistoryView& view, const SearchRequest& r, qsizetype earlier);
bool combinationMatches(const HistoryView& view, const SearchRequest& r, int k, qsizetype earlier);

// The grids for the draws whose earlier draw matches, within the request's issue range.
FollowResult expectedResult(const HistoryView& view, const SearchRequest& r,
                            const std::function<bool(qsizetype earlier)>& matches);

// A request with the default options over every issue from 2013001 on.
SearchRequest baseRequest();

// Random histories of distinct numbers.
QVector<Numbers> randomDraws(int count, quint32 seed);

} // namespace quorvex::test
