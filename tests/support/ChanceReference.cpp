#include "ChanceReference.h"

#include "draw/ZodiacTables.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace quorvex::test {

ChanceReference chanceReference(const HistoryView& view, const SearchRequest& r,
                                const FollowResult& result) {
    const ValueRange values = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    QSet<qint64> follow;
    for (const QStringList& row : result.matchRows)
        follow.insert(row[0].toLongLong());
    ChanceReference c;
    c.counts.fill(0, values.count());
    c.expected.fill(0, values.count());
    c.variance.fill(0, values.count());
    c.p.fill(std::nullopt, values.count());
    for (const StoredDraw& draw : view.rows()) {
        if (!follow.contains(draw.issue))
            continue;
        const auto k = draw.attributes.kindValues(r.intXianshiLei);
        const ZodiacYear year(zodiacYearOfIssue(draw.issue));
        QVector<int> m(values.count());
        for (int n = 1; n <= 15; ++n)
            ++m[deriveAttributes({n, n, n, n, n}, year, r.bases).at(1, r.intXianshiLei) -
                values.lo];
        for (int i = 0; i < values.count(); ++i) {
            c.counts[i] += double(std::count(k.begin(), k.end(), values.lo + i));
            const double share = m[i] / 15.0;
            c.expected[i] += 5 * share;
            c.variance[i] += 5 * share * (1 - share) * (10.0 / 14.0);
        }
    }
    for (int i = 0; i < values.count(); ++i)
        if (follow.size() >= 20 && c.variance[i] > 1e-12)
            c.p[i] = std::erfc(std::abs(c.counts[i] - c.expected[i]) / std::sqrt(c.variance[i]) /
                               std::sqrt(2.0));
    return c;
}

QVector<Numbers> everyFairDraw() {
    QVector<Numbers> draws;
    for (int a = 1; a <= 15; ++a)
        for (int b = a + 1; b <= 15; ++b)
            for (int c = b + 1; c <= 15; ++c)
                for (int d = c + 1; d <= 15; ++d)
                    for (int e = d + 1; e <= 15; ++e)
                        draws.append({a, b, c, d, e});
    return draws;
}

} // namespace quorvex::test
