#include "FollowSearch.h"

#include "ChanceBaseline.h"
#include "FollowMatching.h"
#include "ResultTally.h"

namespace quorvex {

FollowResult followSearch(const HistorySnapshot& s, const SearchRequest& r,
                          ZodiacYear* knownYears) {
    QVector<int> ticked;
    for (int i = 1; i <= kPositions; ++i)
        if (r.bolPosSel[i - 1])
            ticked << i;
    const auto [begin, end] = s.rowsBetween(r.startIssue, r.endIssue);
    std::vector<qsizetype> rows;
    const auto need = r.bolZyw ? referenceTokens(r, r.intRefVal, false) : std::nullopt;
    if (need) {
        // No position asks nothing, not even an earlier draw.
        const auto& held = s.tokens(r.intLei);
        for (qsizetype row = begin; row < end; ++row) {
            const qsizetype list = listRow(row, r);
            if (ticked.isEmpty() || (list >= 0 && held[std::size_t(list)].holds(*need)))
                rows.push_back(row);
        }
    } else if (r.bolZyw) {
        // Occurrence counts make repeated reference values need repeated values in the draw.
        std::array<int, 16> counters{};
        QByteArrayList tokens;
        for (const int i : ticked) {
            const int v = r.intRefVal[i - 1];
            int count = 0;
            if (r.intLei != Number && counterRange(r.intLei).contains(v))
                count = ++counters[v];
            tokens << freeToken(r.intLei, v, count, false);
        }
        const TokenSet wanted(tokens);
        for (qsizetype row = begin; row < end; ++row) {
            const qsizetype list = listRow(row, r);
            if ((list < 0 ? 0 : wanted.hits(s.codeText(r.intLei, list))) == ticked.size())
                rows.push_back(row);
        }
    } else if (!agreeingRows(s, r, ticked, int(ticked.size()), begin, end, rows)) {
        for (qsizetype row = begin; row < end; ++row) {
            const bool all = std::all_of(ticked.begin(), ticked.end(), [&](int i) {
                return earlierValue(s, row, i, r) == r.intRefVal[i - 1];
            });
            if (all)
                rows.push_back(row);
        }
    }
    FollowResult result = ShowFollowResults(s, std::move(rows), r);
    // No position asks nothing of the draws: every one of the range is tallied.
    if (ticked.isEmpty())
        result.note = QStringLiteral("未勾选位置，范围内每期都计入");
    addBaseline(result, r, knownYears);
    return result;
}

} // namespace quorvex
