#include "FollowOracle.h"

#include "draw/ZodiacTables.h"

#include <QRandomGenerator>

#include <algorithm>

namespace quorvex::test {

namespace {

QVector<int> earlierValues(const HistoryView& view, int kind, qsizetype earlier) {
    QVector<int> pool;
    if (earlier >= 0)
        for (int v : view.rows()[earlier].attributes.kindValues(kind))
            pool << v;
    return pool;
}

// Thousandths of a percent in integers, halves rounded up: a binary double would print the
// exact half 0.3125 as 0.312.
QString percentage(qint64 count, qint64 of) {
    if (of == 0)
        return {};
    const qint64 t = (count * 100000 * 2 + of) / (2 * of);
    return QStringLiteral("%1.%2%").arg(t / 1000).arg(t % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

bool followMatches(const HistoryView& view, const SearchRequest& r, qsizetype earlier) {
    QVector<int> need;
    for (int i = 0; i < kPositions; ++i)
        if (r.bolPosSel[i])
            need << i;
    if (r.bolZyw) {
        const QVector<int> pool = earlierValues(view, r.intLei, earlier);
        for (int i : need) {
            const int v = r.intRefVal[i];
            qsizetype wanted = 1;
            if (r.intLei != Number) // repeated values need repeated values in the draw
                wanted = std::count_if(need.begin(), need.end(),
                                       [&](int j) { return r.intRefVal[j] == v; });
            if (std::count(pool.begin(), pool.end(), v) < wanted)
                return false;
        }
        return true;
    }
    for (int i : need) {
        const int v = earlier >= 0 ? view.rows()[earlier].attributes.value[i][r.intLei] : 0;
        if (v != r.intRefVal[i])
            return false;
    }
    return true;
}

bool combinationMatches(const HistoryView& view, const SearchRequest& r, int k, qsizetype earlier) {
    // Try every group of k positions, as a bit mask.
    for (int mask = 1; mask < 32; ++mask) {
        if (__builtin_popcount(mask) != k)
            continue;
        SearchRequest g = r;
        for (int i = 0; i < kPositions; ++i)
            g.bolPosSel[i] = mask & (1 << i);
        bool pass = true;
        if (r.bolZyw) {
            // Within a group every value needs as many occurrences as the group holds, the
            // number kind included.
            const QVector<int> pool = earlierValues(view, r.intLei, earlier);
            for (int i = 0; i < kPositions && pass; ++i) {
                if (!g.bolPosSel[i])
                    continue;
                const int v = r.intRefVal[i];
                int wanted = 0;
                for (int j = 0; j < kPositions; ++j)
                    wanted += g.bolPosSel[j] && r.intRefVal[j] == v;
                pass = std::count(pool.begin(), pool.end(), v) >= wanted;
            }
        } else {
            pass = followMatches(view, g, earlier);
        }
        if (pass)
            return true;
    }
    return false;
}

FollowResult expectedResult(const HistoryView& view, const SearchRequest& r,
                            const std::function<bool(qsizetype)>& matches) {
    const int lag = r.bolSq ? 1 : r.intPreQi;
    const auto& rows = view.rows();
    const qint64 s = r.startIssue;
    const qint64 e = r.endIssue;
    const ValueRange range = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    QVector<qint64> counts(range.count(), 0);
    FollowResult out;
    QVector<QStringList> listed;
    for (qsizetype j = 0; j < rows.size(); ++j) {
        if (rows[j].issue < s || rows[j].issue > e)
            continue;
        const qsizetype earlier = j - lag >= 0 ? j - lag : -1;
        if (!matches(earlier))
            continue;
        QStringList row{QString::number(rows[j].issue)};
        for (int i = 0; i < kPositions; ++i) {
            const int v = rows[j].attributes.value[i][r.intXianshiLei];
            row << (r.intXianshiLei == Zodiac ? strSxName(v - r.bases.sxIni) : QString::number(v));
            if (range.contains(v))
                ++counts[v - range.lo];
        }
        row << (earlier >= 0 ? numberList(rows[earlier].attributes.numbers()) : QString());
        listed << row;
    }
    out.matchRows = listed;
    QVector<int> order;
    for (int v = range.lo; v <= range.hi; ++v)
        order << v;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return counts[a - range.lo] > counts[b - range.lo]; });
    const qint64 d = out.matchRows.size() * 5;
    for (int i = 0; i < order.size(); ++i) {
        const int v = order[i];
        const qint64 c = counts[v - range.lo];
        out.resultRows << QStringList{QString::number(i + 1),
                                      r.intXianshiLei == Zodiac ? strSxName(v - r.bases.sxIni)
                                                                : QString::number(v),
                                      QString::number(c), percentage(c, d)};
    }
    out.followDraws = out.matchRows.size();
    return out;
}

SearchRequest baseRequest() {
    SearchRequest r;
    r.startIssue = 2013001;
    r.endIssue = 2099999;
    return r;
}

QVector<Numbers> randomDraws(int count, quint32 seed) {
    QRandomGenerator rng(seed);
    QVector<Numbers> draws;
    for (int d = 0; d < count; ++d) {
        QVector<int> pool;
        for (int n = 1; n <= 15; ++n)
            pool << n;
        Numbers x{};
        for (int i = 0; i < 5; ++i)
            x[i] = pool.takeAt(rng.bounded(int(pool.size())));
        draws << x;
    }
    return draws;
}

} // namespace quorvex::test
