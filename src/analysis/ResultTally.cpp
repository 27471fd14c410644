#include "ResultTally.h"

#include "history/ZodiacTables.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <numeric>

namespace quorvex {

namespace {

QString cellText(int kind, int value, int sxIni) {
    if (kind == Zodiac)
        return strSxName(value - sxIni); // a value of the other base has no name: empty cell
    return QString::number(value);
}

bool fail(const HistoryStore& store, QString* error, const QString& what, const QSqlQuery& q) {
    if (error) {
        const QString why = store.errorText(q.lastError());
        *error = store.isDamaged() ? why : QStringLiteral("%1：%2").arg(what, why);
    }
    return false;
}

} // namespace

QString percentageText(qint64 count, qint64 denominator) {
    if (denominator <= 0)
        return {};
    // Exact thousandths, halves rounded up: 63 of 960 is 6.5625 and shows as 6.563%.
    const qint64 thousandths = (count * 200000 + denominator) / (2 * denominator);
    return QStringLiteral("%1.%2%")
        .arg(thousandths / 1000)
        .arg(thousandths % 1000, 3, 10, QLatin1Char('0'));
}

std::optional<FollowResult> ShowFollowResults(HistoryStore& store, const Selection& selection,
                                              qint64 startIssue, qint64 endIssue,
                                              const SearchRequest& request, QString* error) {
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

    QStringList cols{QStringLiteral("SQQH")};
    for (int i = 1; i <= kPositions; ++i)
        cols << attributeColumn(i, kind);
    cols << (request.bolSq ? QStringLiteral("txtHisLst") : QStringLiteral("txtHisPreLst"));

    QSqlQuery q(store.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM Lishi WHERE SQQH >= ? AND SQQH <= ? AND %2 "
                             "ORDER BY SQQH")
                  .arg(cols.join(QLatin1Char(',')), selection.condition));
    q.addBindValue(startIssue);
    q.addBindValue(endIssue);
    for (const QVariant& v : selection.values)
        q.addBindValue(v);
    if (!q.exec()) {
        fail(store, error, QStringLiteral("读取检索结果失败"), q);
        return std::nullopt;
    }

    QVector<qint64> counts(values.count(), 0);
    while (q.next()) {
        QStringList row;
        row.reserve(7);
        row << q.value(0).toString();
        for (int i = 1; i <= kPositions; ++i) {
            const int v = q.value(i).toInt();
            row << cellText(kind, v, sxIni);
            if (values.contains(v))
                ++counts[v - values.lo];
        }
        row << q.value(kPositions + 1).toString();
        result.matchRows.append(std::move(row));
    }
    // next() also ends on an error: a tally of part of the rows must not pass for the answer.
    if (q.lastError().isValid()) {
        fail(store, error, QStringLiteral("读取检索结果失败"), q);
        return std::nullopt;
    }
    result.followDraws = result.matchRows.size();
    const qint64 denominator = result.followDraws * kPositions;

    // Carcu keeps the tally of the last display in the database.
    QSqlQuery w(store.database());
    if (!w.exec(QStringLiteral("DELETE FROM Carcu"))) {
        fail(store, error, QStringLiteral("无法写入统计表"), w);
        return std::nullopt;
    }
    w.prepare(QStringLiteral("INSERT INTO Carcu (Nmb, Count) VALUES (?, ?)"));
    for (int v = values.lo; v <= values.hi; ++v) {
        w.addBindValue(v);
        w.addBindValue(counts[v - values.lo]);
        if (!w.exec()) {
            fail(store, error, QStringLiteral("无法写入统计表"), w);
            return std::nullopt;
        }
        result.bars.append({v, cellText(kind, v, sxIni), counts[v - values.lo]});
    }

    // Ranked by count; equal counts in ascending value.
    result.resultBars.resize(result.bars.size());
    std::iota(result.resultBars.begin(), result.resultBars.end(), 0);
    std::stable_sort(result.resultBars.begin(), result.resultBars.end(),
                     [&bars = result.bars](int a, int b) { return bars[a].count > bars[b].count; });
    int rank = 0;
    for (const int at : result.resultBars) {
        const auto& bar = result.bars[at];
        result.resultRows.append({QString::number(++rank), bar.label, QString::number(bar.count),
                                  percentageText(bar.count, denominator)});
    }
    return result;
}

} // namespace quorvex
