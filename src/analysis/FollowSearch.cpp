#include "FollowSearch.h"

#include "ResultTally.h"
#include "SearchSql.h"

namespace quorvex {

std::optional<FollowResult> runFollowSearch(HistoryStore& store, const SearchRequest& r,
                                            QString* error) {
    if (!validateRequest(r, error))
        return std::nullopt;
    if (!store.isOpen()) {
        if (error)
            *error = QStringLiteral("历史数据库没有打开。");
        return std::nullopt;
    }

    QVector<int> ticked;
    for (int i = 1; i <= kPositions; ++i) {
        if (r.bolPosSel[i - 1])
            ticked << i;
    }

    DerivedColumns derived(store);
    HistoryStore::Transaction transaction(store, HistoryStore::Writes::WorkingColumns);
    if (!transaction.begun()) {
        if (error)
            *error = QStringLiteral("无法开始检索事务。");
        return std::nullopt;
    }

    bool ok = false;
    QVariantList values;
    if (r.bolZyw) {
        // Occurrence counts make repeated reference values need repeated values in the draw.
        std::array<int, 16> counters{};
        for (int i : ticked) {
            const int v = r.intRefVal[i - 1];
            int count = 0;
            if (r.intLei != Number && counterRange(r.intLei).contains(v))
                count = ++counters[v];
            values << freeToken(r.intLei, v, count, false);
        }
        ok = r.bolSq || deriveLaggedLists(store, derived, r.intPreQi, error);
        const QString column = r.bolSq ? codeColumn(r.intLei) : preCodeColumn(r.intLei);
        ok = ok && setHitCounts(store, tokenHits(column, values.size()), values, error);
    } else {
        const QChar suffix = r.bolSq ? QLatin1Char('S') : QLatin1Char('P');
        QStringList columns;
        for (int i : ticked) {
            columns << laggedColumn(i, r.intLei, suffix);
            values << r.intRefVal[i - 1];
        }
        ok = deriveComparisonColumns(store, derived, r.bolSq, r.intPreQi, error) &&
             setHitCounts(store, equalityHits(columns), values, error);
    }
    if (!ok)
        return std::nullopt;

    const Selection selection{QStringLiteral("intTh = ?"), {qint64(ticked.size())}};
    auto result = ShowFollowResults(store, selection, *issueFromBox(r.startIssueText),
                                    *issueFromBox(r.endIssueText), r, error);
    if (!result || !transaction.commit(error))
        return std::nullopt;
    derived.committed();
    return result;
}

} // namespace quorvex
