#include "ChanceTexts.h"

#include <algorithm>

namespace quorvex {

QString significantText(double value) {
    if (value == 0)
        return QStringLiteral("0.000");
    // The exponent after rounding to four digits decides the decimals: 0.099996 is 0.1000.
    const QString e = QString::number(value, 'e', 3);
    const int exponent = e.mid(e.indexOf(QLatin1Char('e')) + 1).toInt();
    if (exponent < -4)
        return e;
    return QString::number(value, 'f', std::max(0, 3 - exponent));
}

QString pValueText(double p) {
    // One form down the column: 0.00004 would read 0.0000, which claims too much.
    if (p < 0.00005)
        return QStringLiteral("<0.0001");
    return QString::number(p, 'f', 4);
}

QStringList baselineHeader() {
    return {QStringLiteral("期望次数"), QStringLiteral("比值"), QStringLiteral("校正p值"),
            QStringLiteral("显著")};
}

QStringList baselineHeaderTips() {
    return {QStringLiteral("公平开奖下，这个值在这些跟随期里平均应出现的次数。"),
            QStringLiteral("出现次数除以期望次数；公平开奖下应在 1 左右。"),
            QStringLiteral(
                "公平开奖下出现次数偏离期望至少这么远的概率，已按 Holm 方法对本类各值校正。"),
            QStringLiteral("校正p值低于 0.01 时为“是”：公平开奖下很少出现这样大的偏离。")};
}

QStringList baselineCells(const FollowResult::Baseline& b) {
    const QString none = QStringLiteral("—");
    return {QString::number(b.expected, 'f', 3), b.ratio ? QString::number(*b.ratio, 'f', 3) : none,
            b.correctedP ? pValueText(*b.correctedP) : none,
            b.marked ? QStringLiteral("是") : QString()};
}

QStringList resultHeaderTipsWithBaseline(const FollowResult& result) {
    return QStringList(result.resultHeader.size(), QString()) + baselineHeaderTips();
}

QStringList resultHeaderWithBaseline(const FollowResult& result) {
    return result.resultHeader + baselineHeader();
}

QVector<QStringList> resultRowsWithBaseline(const FollowResult& result) {
    QVector<QStringList> rows = result.resultRows;
    for (qsizetype r = 0; r < rows.size(); ++r)
        rows[r] += baselineCells(result.baseline.at(result.resultBars.at(r)));
    return rows;
}

} // namespace quorvex
