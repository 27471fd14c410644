#include "SearchPlan.h"

#include "FollowMatching.h"
#include "ResultTally.h"

namespace quorvex {

SearchPlan planSearch(const HistorySnapshot& s, const SearchRequest& request, bool combination) {
    SearchPlan p;
    p.request = request;
    if (combination)
        p.request.bolPosSel.fill(true); // every position takes part
    const SearchRequest& r = p.request;
    p.snapshot = &s;
    std::tie(p.begin, p.end) = s.rowsBetween(r.startIssue, r.endIssue);
    for (int i = 1; i <= kPositions; ++i)
        if (r.bolPosSel[i - 1])
            p.ticked << i;
    if (r.bolZyw) {
        p.rowTokens = &s.tokens(r.intLei);
        p.need = referenceTokens(r, r.intRefVal, combination);
        if (!p.need) {
            // Occurrence counts make repeated reference values need repeated values in the draw.
            std::array<int, 16> counters{};
            for (const int i : p.ticked) {
                const int v = r.intRefVal[i - 1];
                int count = 0;
                if (r.intLei != Number && counterRange(r.intLei).contains(v))
                    count = ++counters[v];
                p.wantedTokens << freeToken(r.intLei, v, count, false);
            }
        }
    } else {
        for (int i = 1; i <= kPositions; ++i)
            p.searchBytes[i - 1] = s.narrowColumn(HistorySnapshot::attribute(i, r.intLei));
    }
    const int kind = r.intXianshiLei;
    p.values = kindRange(kind, r.bases.sxIni, r.bases.dsIni);
    // Names are made once per value, not once per cell.
    for (int v = p.values.lo; v <= p.values.hi; ++v)
        p.names << valueLabel(kind, v, r.bases.sxIni);
    for (int i = 1; i <= kPositions; ++i)
        p.resultBytes[i - 1] = s.narrowColumn(HistorySnapshot::attribute(i, kind));
    return p;
}

} // namespace quorvex
