#include "FollowSearch.h"

#include "PendingSearch.h"

namespace quorvex {

namespace {

// Every group of k positions passes exactly when at least k reference values, counted with
// their repetitions, are matched; so one pass marks the rows. intTh keeps the hits of the last
// group tried, positions 6-k..5, as a group-by-group run leaves it.
struct Hits {
    std::vector<qint32> all;  // over every position
    std::vector<qint32> last; // over the last group
};

Hits freeHits(const HistoryMirror& m, const SearchRequest& r, int k, int list) {
    // Over all five positions, occurrence counts enumerate the tokens 1Xv, 2Xv, ... of the
    // reference values; a row holding t of them passes some group of k positions when t >= k.
    // A value no counter holds has no token, and no group holding it can pass.
    QByteArrayList all, last;
    std::array<int, 16> counters{};
    for (int p = 1; p <= kPositions; ++p) {
        const int v = r.intRefVal[p - 1];
        if (counterRange(r.intLei).contains(v))
            all << freeToken(r.intLei, v, ++counters[v], true);
    }
    // The last group counts afresh: equal values in it all use the group's final count.
    std::array<int, 16> groupCounts{};
    for (int p = kPositions - k + 1; p <= kPositions; ++p) {
        const int v = r.intRefVal[p - 1];
        if (counterRange(r.intLei).contains(v))
            ++groupCounts[v];
    }
    for (int p = kPositions - k + 1; p <= kPositions; ++p) {
        const int v = r.intRefVal[p - 1];
        if (counterRange(r.intLei).contains(v))
            last << freeToken(r.intLei, v, groupCounts[v], true);
    }
    return {tokenHits(m, list, all), tokenHits(m, list, last)};
}

Hits fixedHits(const HistoryMirror& m, const SearchRequest& r, int k) {
    const int base = r.bolSq ? HistoryMirror::kLastDraw : HistoryMirror::kPreDraw;
    QVector<int> all, last, allValues, lastValues;
    for (int p = 1; p <= kPositions; ++p) {
        all << base + (p - 1) * 6 + r.intLei;
        allValues << r.intRefVal[p - 1];
        if (p > kPositions - k) {
            last << all.last();
            lastValues << allValues.last();
        }
    }
    return {equalityHits(m, all, allValues), equalityHits(m, last, lastValues)};
}

} // namespace

std::unique_ptr<PendingSearch> startCombinationSearch(HistoryStore& store, const SearchRequest& r,
                                                      int k, QString* error) {
    if (k < 1 || k > kPositions) {
        if (error)
            *error =
                QStringLiteral("组合位数必须是1到5之间的数字，当前为%1，没有标记任何一期。").arg(k);
        return nullptr;
    }
    auto markGroups = [&](WorkingCells& cells) {
        HistoryMirror& m = cells.mirror();
        Hits hits;
        int list = -1; // free positions: txtHisP6 holds the list every pattern reads
        if (r.bolZyw) {
            if (!r.bolSq)
                deriveLaggedLists(cells, r.intPreQi);
            list = (r.bolSq ? HistoryMirror::kCode : HistoryMirror::kPreCode) + r.intLei;
            hits = freeHits(m, r, k, list);
        } else {
            deriveComparisonColumns(cells, r.bolSq, r.intPreQi);
            hits = fixedHits(m, r, k);
        }
        for (qsizetype row = 0; row < m.rows(); ++row) {
            cells.set(HistoryMirror::kBolOk, row, hits.all[std::size_t(row)] >= k ? 1 : 0);
            cells.set(HistoryMirror::kIntTh, row, hits.last[std::size_t(row)]);
            if (list >= 0)
                cells.set(HistoryMirror::kTxtHisP6, row, m.raw(list, row));
        }
    };
    QVector<int> columns{HistoryMirror::kIntTh, HistoryMirror::kBolOk};
    if (!r.bolZyw)
        columns << comparisonColumns(r.bolSq);
    else if (r.bolSq)
        columns << HistoryMirror::kCode + r.intLei << HistoryMirror::kTxtHisP6;
    else
        columns << laggedListColumns() << HistoryMirror::kTxtHisP6;
    SearchRequest all = r;
    all.bolPosSel.fill(true); // every position takes part; the boxes are not consulted
    return PendingSearch::start(store, all, columns, markGroups, {HistoryMirror::kBolOk, 1}, error);
}

} // namespace quorvex
