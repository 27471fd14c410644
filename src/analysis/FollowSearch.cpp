#include "FollowSearch.h"

#include "PendingSearch.h"

namespace quorvex {

std::unique_ptr<PendingSearch> startFollowSearch(HistoryStore& store, const SearchRequest& r,
                                                 QString* error) {
    QVector<int> ticked;
    for (int i = 1; i <= kPositions; ++i) {
        if (r.bolPosSel[i - 1])
            ticked << i;
    }
    auto countHits = [&](WorkingCells& cells) {
        const HistoryMirror& m = cells.mirror();
        std::vector<qint32> hits;
        if (r.bolZyw) {
            // Occurrence counts make repeated reference values need repeated values in the draw.
            std::array<int, 16> counters{};
            QByteArrayList tokens;
            for (int i : ticked) {
                const int v = r.intRefVal[i - 1];
                int count = 0;
                if (r.intLei != Number && counterRange(r.intLei).contains(v))
                    count = ++counters[v];
                tokens << freeToken(r.intLei, v, count, false);
            }
            if (!r.bolSq)
                deriveLaggedLists(cells, r.intPreQi);
            hits = tokenHits(
                m, (r.bolSq ? HistoryMirror::kCode : HistoryMirror::kPreCode) + r.intLei, tokens);
        } else {
            deriveComparisonColumns(cells, r.bolSq, r.intPreQi);
            const int base = r.bolSq ? HistoryMirror::kLastDraw : HistoryMirror::kPreDraw;
            QVector<int> columns, values;
            for (int i : ticked) {
                columns << base + (i - 1) * 6 + r.intLei;
                values << r.intRefVal[i - 1];
            }
            hits = equalityHits(m, columns, values);
        }
        for (std::size_t row = 0; row < hits.size(); ++row)
            cells.set(HistoryMirror::kIntTh, qsizetype(row), hits[row]);
    };
    QVector<int> columns{HistoryMirror::kIntTh};
    if (!r.bolZyw)
        columns << comparisonColumns(r.bolSq);
    else if (r.bolSq)
        columns << HistoryMirror::kCode + r.intLei;
    else
        columns << laggedListColumns();
    // A row is a follow draw when every ticked position hit.
    return PendingSearch::start(store, r, columns, countHits,
                                {HistoryMirror::kIntTh, qint32(ticked.size())}, error);
}

} // namespace quorvex
