#include "BacktestGridTexts.h"

#include "analysis/ResultTally.h"
#include "ChanceTexts.h"
#include "RunCaption.h"

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
    QStringList parts = searchOptionTexts(request, combinedPositions);
    if (request.startIssue > 0)
        parts << QStringLiteral("检索自 %1 期起").arg(request.startIssue);
    parts << QStringLiteral("取前 %1 个").arg(topK);
    if (!result.rows.isEmpty())
        parts << QStringLiteral("%1–%2 期")
                     .arg(result.rows.first().issue)
                     .arg(result.rows.last().issue);
    return QStringLiteral("回测%1：%2")
        .arg(searchKindText(request, combinedPositions), parts.join(QStringLiteral("，")));
}

QString backtestSummary(const BacktestResult& result) {
    const QString none = QStringLiteral("—");
    return QStringLiteral("回测 %1 期：命中 %2 次，随机期望 %3 次（比值 %4，单侧 p = %5）")
        .arg(result.rows.size())
        .arg(result.hits)
        .arg(QString::number(result.expected, 'f', 1),
             result.ratio ? QString::number(*result.ratio, 'f', 3) : none,
             result.p ? significantText(*result.p) : none);
}

} // namespace quorvex
