#include "ResultChart.h"
#include "presentation/ChanceTexts.h"

#include "BarLabels.h"
#include "BarTooltips.h"
#include "ChartStyle.h"

#include "analysis/ChanceBaseline.h"
#include "draw/AttributeKind.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

namespace quorvex {

namespace {

const QColor kMarkedColor(0xc0, 0x20, 0x20);

QString tooltipText(const FollowResult& result, qsizetype i) {
    const FollowResult::Bar& bar = result.bars[i];
    if (result.baseline.size() != result.bars.size())
        return QStringLiteral("%1\n出现次数：%2").arg(bar.label).arg(bar.count);
    const FollowResult::Baseline& b = result.baseline[i];
    // The grid's names and forms, so that a figure reads the same in both.
    const QStringList names = baselineHeader();
    const QStringList cells = baselineCells(b);
    QString text = QStringLiteral("%1\n出现次数：%2").arg(bar.label).arg(bar.count);
    for (int c : {ExpectedColumn, RatioColumn, CorrectedPColumn})
        text += QStringLiteral("\n%1：%2").arg(names[c], cells[c]);
    return b.marked ? text + QStringLiteral("\n显著偏离") : text;
}

// What chance alone gives: the expected counts as markers over the bars, an outline round each
// bar that differs beyond noise, and the figures in each bar's tooltip.
void addBaseline(QChart* chart, QBarSeries* bars, const FollowResult& result,
                 QAbstractAxis* categoryAxis, QAbstractAxis* countAxis) {
    // Untested expected figures stand beside the counts as if they were a yardstick: none drawn.
    if (result.baseline.size() != result.bars.size() || result.bars.isEmpty() ||
        !comparedWithChance(result.baseline)) {
        chart->legend()->hide();
        return;
    }
    auto attach = [&](QXYSeries* series) {
        chart->addSeries(series);
        series->attachAxis(categoryAxis);
        series->attachAxis(countAxis);
    };
    auto* expected = new QScatterSeries;
    expected->setName(baselineHeader()[ExpectedColumn]);
    expected->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    expected->setMarkerSize(8);
    expected->setColor(expectedColor());
    expected->setBorderColor(expectedColor().darker(130));
    for (qsizetype i = 0; i < result.baseline.size(); ++i)
        expected->append(double(i), result.baseline[i].expected);
    attach(expected);

    const double half = bars->barWidth() / 2;
    bool first = true;
    for (qsizetype i = 0; i < result.bars.size(); ++i) {
        if (!result.baseline[i].marked)
            continue;
        auto* outline = new QLineSeries;
        outline->setName(QStringLiteral("显著偏离"));
        outline->setPen(QPen(kMarkedColor, 2.5));
        const double count = double(result.bars[i].count);
        *outline << QPointF(i - half, 0) << QPointF(i - half, count) << QPointF(i + half, count)
                 << QPointF(i + half, 0);
        attach(outline);
        // One legend entry stands for every outline.
        if (!first)
            for (QLegendMarker* m : chart->legend()->markers(outline))
                m->setVisible(false);
        first = false;
    }

    showLegendBelow(chart, smallFont(chart->legend()->font()));
}

} // namespace

QString baselineSummary(const FollowResult& result) {
    if (!comparedWithChance(result.baseline))
        return result.baseline.isEmpty()
                   ? QString()
                   : QStringLiteral("未与期望比较：跟随期数少于%1或无变化").arg(kFewestTestedDraws);
    const int marked = result.markedCount();
    if (marked == 0)
        return QStringLiteral("无显著偏离");
    return QStringLiteral("%1 个值与期望的偏离超出随机波动（Holm 校正 p < %2）")
        .arg(marked)
        .arg(kMarkLevel);
}

void showResultChart(QChartView* view, const FollowResult& result, int resultKind) {
    QChart* chart =
        // How the draws were chosen is said in the page's caption, which has the room.
        newChart(QStringLiteral("结果分布（%1，%2 期）")
                     .arg(kindCaption(resultKind))
                     .arg(result.followDraws),
                 1.1);

    auto* set = new QBarSet(QStringLiteral("出现次数"));
    QStringList categories;
    qint64 highest = 0;
    for (const FollowResult::Bar& bar : result.bars) {
        *set << double(bar.count);
        categories << bar.label;
        highest = std::max(highest, bar.count);
    }
    if (comparedWithChance(result.baseline))
        for (const FollowResult::Baseline& b : result.baseline)
            highest = std::max(highest, qint64(std::ceil(b.expected)));
    set->setColor(countedColor());
    // Small labels: fifteen bars share a narrow chart.
    const QFont small = smallFont(set->labelFont());

    auto* series = new QBarSeries;
    series->append(set);
    series->setBarWidth(0.7);
    chart->addSeries(series);

    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    categoryAxis->setLabelsFont(small);
    categoryAxis->setTruncateLabels(false);
    categoryAxis->setGridLineVisible(false);
    chart->addAxis(categoryAxis, Qt::AlignBottom);
    series->attachAxis(categoryAxis);

    QValueAxis* countAxis = addCountAxis(chart, highest, small);
    series->attachAxis(countAxis);

    addBaseline(chart, series, result, categoryAxis, countAxis);

    QVector<qint64> counts;
    QStringList tips;
    for (qsizetype i = 0; i < result.bars.size(); ++i) {
        counts << result.bars[i].count;
        tips << tooltipText(result, i);
    }
    QVector<double> expected;
    if (result.baseline.size() == result.bars.size() && comparedWithChance(result.baseline))
        for (const FollowResult::Baseline& b : result.baseline)
            expected << b.expected;
    new BarLabels(chart, series, categoryAxis, countAxis, counts, expected);
    new BarTooltips(view, chart, series, tips);

    showChart(view, chart);
}

} // namespace quorvex
