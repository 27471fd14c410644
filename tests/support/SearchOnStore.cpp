#include "SearchOnStore.h"

#include "analysis/CombinationSearch.h"
#include "analysis/FollowMatching.h"
#include "analysis/FollowSearch.h"

namespace quorvex::test {

namespace {

std::optional<FollowResult> run(const HistoryStore& store, const SearchRequest& r, int k,
                                QString* error) {
    HistorySnapshot snapshot;
    if (!validateRequest(r, error) || (k != 0 && !validateCombinedPositions(k, error)) ||
        !snapshot.refresh(store, searchColumns(r), error))
        return std::nullopt;
    return k == 0 ? followSearch(snapshot, r) : combinationSearch(snapshot, r, k);
}

} // namespace

std::optional<FollowResult> runFollowSearch(const HistoryStore& store, const SearchRequest& r,
                                            QString* error) {
    return run(store, r, 0, error);
}

std::optional<FollowResult> runCombinationSearch(const HistoryStore& store, const SearchRequest& r,
                                                 int k, QString* error) {
    if (!validateCombinedPositions(k, error))
        return std::nullopt;
    return run(store, r, k, error);
}

} // namespace quorvex::test
