#include "ResultTally.h"

#include "FollowMatching.h"

#include "history/ZodiacTables.h"

#include <algorithm>
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

FollowResult ShowFollowResults(const HistorySnapshot& snapshot, const std::vector<qsizetype>& rows,
                               const SearchRequest& request) {
    const int kind = request.intXianshiLei;
    const int sxIni = request.bases.sxIni;
    const ValueRange values = kindRange(kind, sxIni, request.bases.dsIni);

    FollowResult result;
    result.matchHeader << QStringLiteral("期号");
    for (int i = 1; i <= kPositions; ++i)
        result.matchHeader << QStringLiteral("第%1码").arg(i);
    result.matchHeader << (request.bolSq ? QStringLiteral("上期开奖") : QStringLiteral("前期开奖"));
    result.resultHeader = {QStringLiteral("序号"), QStringLiteral("结果"),
                           QStringLiteral("出现次数"), QStringLiteral("百分比")};

    // Names are made once per value, not once per cell.
    QStringList names;
    for (int v = values.lo; v <= values.hi; ++v)
        names << valueLabel(kind, v, sxIni);
    QVector<qint64> counts(values.count(), 0);
    result.followIssues.reserve(qsizetype(rows.size()));
    for (const qsizetype row : rows) {
        result.followIssues.append(snapshot.issue(row));
        if (!request.listFollowDraws) {
            for (int i = 1; i <= kPositions; ++i) {
                const int v = snapshot.value(HistorySnapshot::attribute(i, kind), row);
                if (values.contains(v))
                    ++counts[v - values.lo];
            }
            continue;
        }
        QStringList cells;
        cells.reserve(kPositions + 2);
        cells << QString::number(snapshot.issue(row));
        for (int i = 1; i <= kPositions; ++i) {
            const int v = snapshot.value(HistorySnapshot::attribute(i, kind), row);
            if (values.contains(v)) {
                ++counts[v - values.lo];
                cells << names[v - values.lo];
            } else {
                cells << valueLabel(kind, v, sxIni);
            }
        }
        // The numbers of the draw the follow draw was matched through.
        const qsizetype list = listRow(row, request);
        cells << (list < 0 ? QString()
                           : QString::fromUtf8(snapshot.text(HistorySnapshot::kTxtHisLst, list)));
        result.matchRows.append(std::move(cells));
    }
    result.followDraws = qint64(rows.size());
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
