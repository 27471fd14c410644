#include "CombinationSearch.h"

#include "ChanceBaseline.h"
#include "FollowMatching.h"
#include "ResultTally.h"
#include "SearchPlan.h"

namespace quorvex {

FollowResult combinationSearch(const HistorySnapshot& s, const SearchRequest& request, int k,
                               ZodiacYear* knownYears) {
    const SearchPlan plan = planSearch(s, request, true);
    const SearchRequest& r = plan.request;
    std::vector<qsizetype> rows;
    if (r.bolZyw) {
        // Some group of k positions passes exactly when at least k reference values, counted with
        // their repetitions, are in the earlier draw: over all five positions the occurrence
        // counts enumerate the tokens 1Xv, 2Xv, ... A value no counter holds has no token, and no
        // group holding it can pass.
        // Five positions hold no count above five: every token has its bit.
        const Tokens& need = *plan.need;
        const auto& held = *plan.rowTokens;
        for (qsizetype row = plan.begin; row < plan.end; ++row) {
            const qsizetype list = listRow(row, r);
            if (list >= 0 && held[std::size_t(list)].common(need) >= k)
                rows.push_back(row);
        }
    } else {
        // A group of k passes when all its positions agree: some group does when k positions do.
        if (!agreeingRows(plan, {1, 2, 3, 4, 5}, k, rows))
            for (qsizetype row = plan.begin; row < plan.end; ++row) {
                int agreeing = 0;
                for (int p = 1; p <= kPositions; ++p)
                    agreeing += earlierValue(s, row, p, r) == r.intRefVal[p - 1] ? 1 : 0;
                if (agreeing >= k)
                    rows.push_back(row);
            }
    }
    FollowResult result = ShowFollowResults(plan, std::move(rows));
    addBaseline(result, r, knownYears);
    return result;
}

} // namespace quorvex
