#include "TrendGridTexts.h"
#include "ChanceTexts.h"

#include "analysis/ChanceBaseline.h"
#include "analysis/ResultTally.h"

namespace quorvex {

namespace {

QString label(const TrendFigures& trend, int value) {
    return valueLabel(trend.kind, trend.values.lo + value, trend.bases.sxIni);
}

} // namespace

QStringList trendGridHeader(const TrendFigures& trend) {
    QStringList header{QStringLiteral("期号"), QStringLiteral("开奖")};
    for (int v = 0; v < trend.valueCount(); ++v)
        header << label(trend, v);
    return header;
}

QStringList trendGridRow(const TrendFigures& trend, qsizetype row) {
    QStringList drawn;
    for (const int v : trend.drawValues(row))
        drawn << label(trend, v - trend.values.lo);
    QStringList cells{QString::number(trend.issues[std::size_t(row)]),
                      drawn.join(QLatin1Char(' '))};
    for (int v = 0; v < trend.valueCount(); ++v)
        cells << (trend.drawnCount(row, v) > 0 ? label(trend, v)
                                               : QString::number(trend.omission(row, v)));
    return cells;
}

QStringList trendSummaryHeader() {
    return {
        QStringLiteral("值"),       QStringLiteral("出现次数"),     QStringLiteral("当前遗漏"),
        QStringLiteral("最大遗漏"), QStringLiteral("平均遗漏"),     QStringLiteral("最长连出"),
        QStringLiteral("期望次数"), QStringLiteral("期望最大遗漏"), QStringLiteral("当前遗漏概率")};
}

QVector<QStringList> trendSummaryRows(const TrendFigures& trend,
                                      const QVector<FairValueFigures>& fair) {
    QVector<QStringList> rows;
    for (int v = 0; v < trend.valueCount(); ++v) {
        const ValueTrend& s = trend.summary[v];
        const FairValueFigures& f = fair[v];
        rows << QStringList{label(trend, v),
                            QString::number(s.times),
                            QString::number(s.currentOmission),
                            QString::number(s.longestOmission),
                            QString::number(s.meanOmission, 'f', 3),
                            QString::number(s.longestRun),
                            QString::number(f.expectedTimes, 'f', 3),
                            QString::number(f.expectedLongestOmission, 'f', 3),
                            significantText(f.currentOmissionChance)};
    }
    return rows;
}

QVector<QStringList> trendSummaryUnderGrid(const TrendFigures& trend,
                                           const QVector<FairValueFigures>& fair) {
    const QVector<QStringList> perValue = trendSummaryRows(trend, fair);
    const QStringList names = trendSummaryHeader();
    QVector<QStringList> rows;
    for (qsizetype f = 1; f < names.size(); ++f) {
        QStringList row{names[f], QString()};
        for (const QStringList& value : perValue)
            row << value[f];
        rows << row;
    }
    return rows;
}

QString trendSummaryCaption(const TrendFigures& trend) {
    if (trend.rows() == 0)
        return QStringLiteral("%1走势：没有开奖。").arg(kindCaption(trend.kind));
    return QStringLiteral(
               "%1走势 %2 至 %3 期，共 %4 期。期望次数、期望最大遗漏与当前遗漏概率按公平开奖"
               "（1 至 15 中随机开出 5 个不同号码，各期独立）计算；当前遗漏概率是"
               "公平开奖下连续这么多期不出的概率。")
        .arg(kindCaption(trend.kind))
        .arg(trend.issues.front())
        .arg(trend.issues.back())
        .arg(trend.rows());
}

} // namespace quorvex
