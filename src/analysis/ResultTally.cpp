#include "ResultTally.h"

#include "FollowMatching.h"

#include "draw/ZodiacTables.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <numeric>

namespace quorvex {

QString valueLabel(int kind, int value, int sxIni) {
    if (kind == Zodiac)
        return strSxName(value - sxIni); // a value of the other base has no name: empty cell
    return QString::number(value);
}

QVector<int> rankedValues(const QVector<qint64>& counts, int lo) {
    QVector<int> order(counts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&counts](int a, int b) { return counts[a] > counts[b]; });
    for (int& v : order)
        v += lo;
    return order;
}

QString percentageText(qint64 count, qint64 denominator) {
    if (denominator <= 0)
        return {};
    // Exact thousandths, halves rounded up: 63 of 960 is 6.5625 and shows as 6.563%.
    const qint64 thousandths = (count * 200000 + denominator) / (2 * denominator);
    return QStringLiteral("%1.%2%")
        .arg(thousandths / 1000)
        .arg(thousandths % 1000, 3, 10, QLatin1Char('0'));
}

namespace {

// The follow draws a match grid lists: per draw its issue, the result kind's five values and the
// numbers of the draw it was matched through, read from the snapshot as it was searched.
struct ListedDraws {
    HistorySnapshot snapshot;
    std::vector<qsizetype> rows;
    SearchRequest request; // its lag and result kind
    QStringList names;     // of the values of the kind's range
    ValueRange values{0, -1};

    QStringList row(qsizetype i) const {
        const qsizetype at = rows[std::size_t(i)];
        const int kind = request.intXianshiLei;
        QStringList cells;
        cells.reserve(kPositions + 2);
        cells << QString::number(snapshot.issue(at));
        for (int p = 1; p <= kPositions; ++p) {
            const int v = snapshot.value(HistorySnapshot::attribute(p, kind), at);
            cells << (values.contains(v) ? names[v - values.lo]
                                         : valueLabel(kind, v, request.bases.sxIni));
        }
        const qsizetype list = listRow(at, request);
        cells << (list < 0 ? QString()
                           : QString::fromUtf8(snapshot.text(HistorySnapshot::kTxtHisLst, list)));
        return cells;
    }
};

} // namespace

FollowResult ShowFollowResults(const SearchPlan& plan, std::vector<qsizetype> rows) {
    const SearchRequest& request = plan.request;
    const HistorySnapshot& snapshot = *plan.snapshot;
    const int kind = request.intXianshiLei;
    const ValueRange values = plan.values;
    const QStringList& names = plan.names;

    FollowResult result;
    result.matchHeader << QStringLiteral("期号");
    for (int i = 1; i <= kPositions; ++i)
        result.matchHeader << QStringLiteral("第%1码").arg(i);
    result.matchHeader << (request.bolSq ? QStringLiteral("上期开奖") : QStringLiteral("前期开奖"));
    result.resultHeader = {QStringLiteral("序号"), QStringLiteral("结果"),
                           QStringLiteral("出现次数"), QStringLiteral("百分比")};

    QVector<qint64> counts(values.count(), 0);
    result.followIssues.reserve(qsizetype(rows.size()));
    for (const qsizetype row : rows)
        result.followIssues.append(snapshot.issue(row));
    for (int p = 1; p <= kPositions; ++p) {
        if (const qint8* column = plan.resultBytes[std::size_t(p - 1)]) {
            // Bytes, so a value outside the range only has to be told apart from the rest.
            std::array<qint64, 256> byByte{};
            for (const qsizetype row : rows)
                ++byByte[quint8(column[row])];
            for (int v = values.lo; v <= values.hi; ++v)
                if (v >= std::numeric_limits<qint8>::min() &&
                    v <= std::numeric_limits<qint8>::max())
                    counts[v - values.lo] += byByte[quint8(qint8(v))];
            continue;
        }
        const int c = HistorySnapshot::attribute(p, kind);
        for (const qsizetype row : rows) {
            const int v = snapshot.value(c, row);
            if (values.contains(v))
                ++counts[v - values.lo];
        }
    }
    result.followDraws = qint64(rows.size());
    if (request.listFollowDraws) {
        const auto listed = std::make_shared<const ListedDraws>(
            ListedDraws{snapshot, std::move(rows), request, names, values});
        result.matchRows = GridRows(qsizetype(listed->rows.size()),
                                    [listed](qsizetype i) { return listed->row(i); });
    }
    const qint64 denominator = result.followDraws * kPositions;
    for (int v = values.lo; v <= values.hi; ++v)
        result.bars.append({v, names[v - values.lo], counts[v - values.lo]});

    result.resultBars = rankedValues(counts, 0);
    int rank = 0;
    for (const int at : result.resultBars) {
        const auto& bar = result.bars[at];
        result.resultRows.append({QString::number(++rank), bar.label, QString::number(bar.count),
                                  percentageText(bar.count, denominator)});
    }
    return result;
}

} // namespace quorvex
