#include "FollowSearch.h"

#include "SearchSql.h"

namespace quorvex {

std::optional<FollowResult> runFollowSearch(HistoryStore& store, const SearchRequest& r,
                                            QString* error) {
    QVector<int> ticked;
    for (int i = 1; i <= kPositions; ++i) {
        if (r.bolPosSel[i - 1])
            ticked << i;
    }
    auto countHits = [&](DerivedColumns& derived, QString* error) {
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
            const QString column = r.bolSq ? codeColumn(r.intLei) : preCodeColumn(r.intLei);
            return (r.bolSq || deriveLaggedLists(store, derived, r.intPreQi, error)) &&
                   setHitCounts(store, tokenHits(column, values.size()), values, error);
        }
        const QChar suffix = r.bolSq ? QLatin1Char('S') : QLatin1Char('P');
        QStringList columns;
        for (int i : ticked) {
            columns << laggedColumn(i, r.intLei, suffix);
            values << r.intRefVal[i - 1];
        }
        return deriveComparisonColumns(store, derived, r.bolSq, r.intPreQi, error) &&
               setHitCounts(store, equalityHits(columns), values, error);
    };
    // A row is a follow draw when every ticked position hit.
    return runMarkedSearch(store, r, countHits,
                           {QStringLiteral("intTh = ?"), {qint64(ticked.size())}}, error);
}

} // namespace quorvex
