#include "BacktestGridTexts.h"

#include "analysis/ResultTally.h"
#include "history/AttributeKind.h"

namespace quorvex {

QStringList backtestGridHeader() {
    return {QStringLiteral("期号"), QStringLiteral("前K个结果"), QStringLiteral("开奖"),
            QStringLiteral("命中"), QStringLiteral("期望")};
}

QVector<QStringList> backtestGridRows(const BacktestResult& result, int resultKind, int sxIni) {
    auto labels = [&](const auto& values) {
        QStringList out;
        for (const int v : values)
            out << valueLabel(resultKind, v, sxIni);
        return out.join(QLatin1Char(' '));
    };
    QVector<QStringList> rows;
    rows.reserve(result.rows.size());
    for (const BacktestRow& row : result.rows)
        rows << QStringList{QString::number(row.issue), labels(row.top), labels(row.drawn),
                            QString::number(row.hits), QString::number(row.expected, 'f', 3)};
    return rows;
}

QString backtestCaption(const SearchRequest& request, int combinedPositions, int topK,
                        const BacktestResult& result) {
    const QString search =
        combinedPositions > 0
            ? QStringLiteral("组合检索（%1位）").arg(combinedPositions)
            : QStringLiteral("检索（%1）")
                  .arg(request.bolZyw ? QStringLiteral("自由位") : QStringLiteral("固定位"));
    // The combination search takes every position whatever is ticked; a follow search with none
    // ticked matches every earlier draw.
    QStringList positions;
    for (int i = 0; i < kPositions; ++i)
        if (request.bolPosSel[i])
            positions << QString::number(i + 1);
    const QString where = combinedPositions > 0 ? QStringLiteral("全部%1码").arg(kPositions)
                          : positions.isEmpty()
                              ? QStringLiteral("未选位置")
                              : QStringLiteral("第%1码").arg(positions.join(QStringLiteral("、")));
    QStringList parts{
        where,
        request.bolSq ? QStringLiteral("上期") : QStringLiteral("前%1期").arg(request.intPreQi),
        QStringLiteral("搜索类型 %1").arg(kindCaption(request.intLei)),
        QStringLiteral("结果类型 %1").arg(kindCaption(request.intXianshiLei)),
        request.bases.sxIni == 0 ? QStringLiteral("生肖参数0~11") : QStringLiteral("生肖参数1~12"),
        request.bases.dsIni == 0 ? QStringLiteral("段数参数0~2") : QStringLiteral("段数参数1~3"),
    };
    if (request.startIssue > 0)
        parts << QStringLiteral("检索自 %1 期起").arg(request.startIssue);
    parts << QStringLiteral("取前 %1 个").arg(topK);
    if (!result.rows.isEmpty())
        parts << QStringLiteral("%1–%2 期")
                     .arg(result.rows.first().issue)
                     .arg(result.rows.last().issue);
    return QStringLiteral("回测%1：%2").arg(search, parts.join(QStringLiteral("，")));
}

} // namespace quorvex
