#include "FollowSearch.h"

#include "ChanceBaseline.h"
#include "FollowMatching.h"
#include "ResultTally.h"
#include "SearchPlan.h"

namespace quorvex {

FollowResult followSearch(const HistorySnapshot& s, const SearchRequest& request,
                          ZodiacYear* knownYears) {
    const SearchPlan plan = planSearch(s, request, false);
    const SearchRequest& r = plan.request;
    const QVector<int>& ticked = plan.ticked;
    std::vector<qsizetype> rows;
    if (plan.need) {
        // No position asks nothing, not even an earlier draw.
        const auto& held = *plan.rowTokens;
        for (qsizetype row = plan.begin; row < plan.end; ++row) {
            const qsizetype list = listRow(row, r);
            if (ticked.isEmpty() || (list >= 0 && held[std::size_t(list)].holds(*plan.need)))
                rows.push_back(row);
        }
    } else if (r.bolZyw) {
        const TokenSet wanted(plan.wantedTokens);
        for (qsizetype row = plan.begin; row < plan.end; ++row) {
            const qsizetype list = listRow(row, r);
            if ((list < 0 ? 0 : wanted.hits(s.codeText(r.intLei, list))) == ticked.size())
                rows.push_back(row);
        }
    } else if (!agreeingRows(plan, ticked, int(ticked.size()), rows)) {
        for (qsizetype row = plan.begin; row < plan.end; ++row) {
            const bool all = std::all_of(ticked.begin(), ticked.end(), [&](int i) {
                return earlierValue(s, row, i, r) == r.intRefVal[i - 1];
            });
            if (all)
                rows.push_back(row);
        }
    }
    FollowResult result = ShowFollowResults(plan, std::move(rows));
    // No position asks nothing of the draws: every one of the range is tallied.
    if (ticked.isEmpty())
        result.note = QStringLiteral("未勾选位置，范围内每期都计入");
    addBaseline(result, r, knownYears);
    return result;
}

} // namespace quorvex
