#include "ResultTally.h"

#include "FollowMatching.h"

#include "history/ZodiacTables.h"

#include <algorithm>
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
// numbers of the draw it was matched through.
struct ListedDraws {
    QStringList names; // of the values of the kind's range
    int kind = 0;
    int sxIni = 0;
    ValueRange values{0, -1};
    std::vector<qint64> issues;
    std::vector<std::array<int, kPositions>> drawn;
    std::vector<std::pair<qint32, qint32>> earlier; // offset and size in texts
    QByteArray texts;

    QStringList row(qsizetype i) const {
        QStringList cells;
        cells.reserve(kPositions + 2);
        cells << QString::number(issues[std::size_t(i)]);
        for (const int v : drawn[std::size_t(i)])
            cells << (values.contains(v) ? names[v - values.lo] : valueLabel(kind, v, sxIni));
        const auto [at, size] = earlier[std::size_t(i)];
        cells << QString::fromUtf8(texts.constData() + at, size);
        return cells;
    }
};

} // namespace

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
    // What the match grid shows, kept as values: its texts are made for the rows shown.
    auto listed = std::make_shared<ListedDraws>();
    listed->names = names;
    listed->kind = kind;
    listed->sxIni = sxIni;
    listed->values = values;
    if (request.listFollowDraws) {
        listed->issues.reserve(rows.size());
        listed->drawn.reserve(rows.size());
        listed->earlier.reserve(rows.size());
    }
    for (const qsizetype row : rows) {
        result.followIssues.append(snapshot.issue(row));
        std::array<int, kPositions> drawn{};
        for (int i = 1; i <= kPositions; ++i) {
            const int v = snapshot.value(HistorySnapshot::attribute(i, kind), row);
            drawn[i - 1] = v;
            if (values.contains(v))
                ++counts[v - values.lo];
        }
        if (!request.listFollowDraws)
            continue;
        listed->issues.push_back(snapshot.issue(row));
        listed->drawn.push_back(drawn);
        // The numbers of the draw the follow draw was matched through.
        const qsizetype list = listRow(row, request);
        const QByteArrayView text =
            list < 0 ? QByteArrayView() : snapshot.text(HistorySnapshot::kTxtHisLst, list);
        listed->earlier.push_back({qint32(listed->texts.size()), qint32(text.size())});
        listed->texts.append(text);
    }
    if (request.listFollowDraws)
        result.matchRows = GridRows(qsizetype(listed->issues.size()),
                                    [listed](qsizetype i) { return listed->row(i); });
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
