#include "CombinationSearch.h"

#include "ChanceBaseline.h"
#include "FollowMatching.h"
#include "ResultTally.h"

namespace quorvex {

FollowResult combinationSearch(const HistorySnapshot& s, const SearchRequest& request, int k,
                               ZodiacYear* knownYears) {
    SearchRequest r = request;
    r.bolPosSel.fill(true); // every position takes part
    const auto [begin, end] = s.rowsBetween(r.startIssue, r.endIssue);
    std::vector<qsizetype> rows;
    if (r.bolZyw) {
        // Some group of k positions passes exactly when at least k reference values, counted with
        // their repetitions, are in the earlier draw: over all five positions the occurrence
        // counts enumerate the tokens 1Xv, 2Xv, ... A value no counter holds has no token, and no
        // group holding it can pass.
        // Five positions hold no count above five: every token has its bit.
        const Tokens need = *referenceTokens(r, r.intRefVal, true);
        const auto& held = s.tokens(r.intLei);
        for (qsizetype row = begin; row < end; ++row) {
            const qsizetype list = listRow(row, r);
            if (list >= 0 && held[std::size_t(list)].common(need) >= k)
                rows.push_back(row);
        }
    } else {
        // A group of k passes when all its positions agree: some group does when k positions do.
        if (!agreeingRows(s, r, {1, 2, 3, 4, 5}, k, begin, end, rows))
            for (qsizetype row = begin; row < end; ++row) {
                int agreeing = 0;
                for (int p = 1; p <= kPositions; ++p)
                    agreeing += earlierValue(s, row, p, r) == r.intRefVal[p - 1] ? 1 : 0;
                if (agreeing >= k)
                    rows.push_back(row);
            }
    }
    FollowResult result = ShowFollowResults(s, std::move(rows), r);
    addBaseline(result, r, knownYears);
    return result;
}

} // namespace quorvex
