#include "CombinationSearch.h"

#include "ChanceBaseline.h"
#include "FollowMatching.h"
#include "ResultTally.h"

namespace quorvex {

FollowResult combinationSearch(const HistorySnapshot& s, const SearchRequest& request, int k) {
    SearchRequest r = request;
    r.bolPosSel.fill(true); // every position takes part
    const auto [begin, end] = s.rowsBetween(r.startIssue, r.endIssue);
    std::vector<qsizetype> rows;
    if (r.bolZyw) {
        // Some group of k positions passes exactly when at least k reference values, counted with
        // their repetitions, are in the earlier draw: over all five positions the occurrence
        // counts enumerate the tokens 1Xv, 2Xv, ... A value no counter holds has no token, and no
        // group holding it can pass.
        QByteArrayList tokens;
        std::array<int, 16> counters{};
        for (int p = 1; p <= kPositions; ++p) {
            const int v = r.intRefVal[p - 1];
            if (counterRange(r.intLei).contains(v))
                tokens << freeToken(r.intLei, v, ++counters[v], true);
        }
        const TokenSet wanted(tokens);
        const int column = HistorySnapshot::code(r.intLei);
        for (qsizetype row = begin; row < end; ++row) {
            const qsizetype list = listRow(row, r);
            if (list >= 0 && wanted.hits(s.text(column, list)) >= k)
                rows.push_back(row);
        }
    } else {
        // A group of k passes when all its positions agree: some group does when k positions do.
        for (qsizetype row = begin; row < end; ++row) {
            int agreeing = 0;
            for (int p = 1; p <= kPositions; ++p)
                agreeing += earlierValue(s, row, p, r) == r.intRefVal[p - 1] ? 1 : 0;
            if (agreeing >= k)
                rows.push_back(row);
        }
    }
    FollowResult result = ShowFollowResults(s, rows, r);
    addBaseline(result, r);
    return result;
}

} // namespace quorvex
