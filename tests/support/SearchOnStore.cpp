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

std::optional<TrendFigures> trendOnStore(const HistoryStore& store, int kind, qint64 from,
                                         qint64 to, qsizetype last, QString* error) {
    HistorySnapshot snapshot;
    if (!snapshot.refresh(store, trendColumns(), error))
        return std::nullopt;
    if (last > 0 && last <= snapshot.rows())
        from = snapshot.issue(snapshot.rows() - last), to = snapshot.issue(snapshot.rows() - 1);
    return trendFigures(snapshot, {kind, ValueBases{}, from, to}, error);
}

} // namespace quorvex::test
