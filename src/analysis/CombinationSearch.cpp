#include "FollowSearch.h"

#include "SearchSql.h"

namespace quorvex {

namespace {

// Every group of k positions passes exactly when at least k reference values, counted with
// their repetitions, are matched; so one statement marks the rows. intTh keeps the hits of the
// last group tried, positions 6-k..5, as a group-by-group run leaves it.
struct MarkStatement {
    QString marked;   // 1 when some group of k positions passes
    QString lastHits; // hits of the last group
    QVariantList markedValues;
    QVariantList lastValues;
};

MarkStatement freeMarks(const SearchRequest& r, int k, const QString& list) {
    MarkStatement m;
    // Over all five positions, occurrence counts enumerate the tokens 1Xv, 2Xv, ... of the
    // reference values; a row holding t of them passes some group of k positions when t >= k.
    std::array<int, 16> counters{};
    for (int p = 1; p <= kPositions; ++p) {
        const int v = r.intRefVal[p - 1];
        if (counterRange(r.intLei).contains(v))
            m.markedValues << freeToken(r.intLei, v, ++counters[v], true);
        // A value no counter holds has no token, and no group holding it can pass.
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
            m.lastValues << freeToken(r.intLei, v, groupCounts[v], true);
    }
    m.marked = QStringLiteral("((%1) >= %2)").arg(tokenHits(list, m.markedValues.size())).arg(k);
    m.lastHits = tokenHits(list, m.lastValues.size());
    return m;
}

MarkStatement fixedMarks(const SearchRequest& r, int k) {
    MarkStatement m;
    const QChar suffix = r.bolSq ? QLatin1Char('S') : QLatin1Char('P');
    QStringList all, last;
    for (int p = 1; p <= kPositions; ++p) {
        all << laggedColumn(p, r.intLei, suffix);
        m.markedValues << r.intRefVal[p - 1];
        if (p > kPositions - k) {
            last << laggedColumn(p, r.intLei, suffix);
            m.lastValues << r.intRefVal[p - 1];
        }
    }
    m.marked = QStringLiteral("((%1) >= %2)").arg(equalityHits(all)).arg(k);
    m.lastHits = equalityHits(last);
    return m;
}

} // namespace

std::optional<FollowResult> runCombinationSearch(HistoryStore& store, const SearchRequest& r, int k,
                                                 QString* error) {
    if (k < 1 || k > kPositions) {
        if (error)
            *error =
                QStringLiteral("组合位数必须是1到5之间的数字，当前为%1，没有标记任何一期。").arg(k);
        return std::nullopt;
    }
    auto markGroups = [&](DerivedColumns& derived, QString* error) {
        MarkStatement m;
        QString copy; // free positions: txtHisP6 holds the list every pattern reads
        if (r.bolZyw) {
            if (!r.bolSq && !deriveLaggedLists(store, derived, r.intPreQi, error))
                return false;
            copy = r.bolSq ? codeColumn(r.intLei) : preCodeColumn(r.intLei);
            m = freeMarks(r, k, copy);
        } else {
            if (!deriveComparisonColumns(store, derived, r.bolSq, r.intPreQi, error))
                return false;
            m = fixedMarks(r, k);
        }
        QStringList setters{QStringLiteral("bolOk = %1").arg(m.marked),
                            QStringLiteral("intTh = %1").arg(m.lastHits)};
        QStringList guards{QStringLiteral("bolOk IS NOT %1").arg(m.marked),
                           QStringLiteral("intTh IS NOT (%1)").arg(m.lastHits)};
        if (!copy.isEmpty()) {
            setters << QStringLiteral("txtHisP6 = %1").arg(copy);
            guards << QStringLiteral("txtHisP6 IS NOT %1").arg(copy);
        }
        const QVariantList values = m.markedValues + m.lastValues;
        return execBound(
            store,
            QStringLiteral("UPDATE Lishi SET %1 WHERE %2")
                .arg(setters.join(QStringLiteral(", ")), guards.join(QStringLiteral(" OR "))),
            values + values, error);
    };
    SearchRequest all = r;
    all.bolPosSel.fill(true); // every position takes part; the boxes are not consulted
    return runMarkedSearch(store, all, markGroups, {QStringLiteral("bolOk = 1"), {}}, error);
}

} // namespace quorvex
