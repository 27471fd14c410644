#include "ResultChart.h"

#include "analysis/ChanceBaseline.h"
#include "history/AttributeKind.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

#include <cmath>

namespace quorvex {

namespace {

const QColor kExpectedColor(0xf0, 0x8c, 0x1a);
const QColor kMarkedColor(0xc0, 0x20, 0x20);

const QStringList& kindNames() {
    static const QStringList names{QStringLiteral("号码"), QStringLiteral("生肖"),
                                   QStringLiteral("头数"), QStringLiteral("尾数"),
                                   QStringLiteral("合数"), QStringLiteral("段数")};
    return names;
}

QString tooltipText(const FollowResult::Bar& bar, const FollowResult::Baseline& b) {
    const QStringList cells = baselineCells(b);
    return QStringLiteral("%1\n出现次数：%2\n期望次数：%3\n比值：%4\n校正p值：%5%6")
        .arg(bar.label)
        .arg(bar.count)
        .arg(cells[0], cells[1], cells[2], b.marked ? QStringLiteral("\n显著偏离") : QString());
}

// What chance alone gives: the expected counts as markers over the bars, an outline round each
// bar that differs beyond noise, and the figures in each bar's tooltip.
void addBaseline(QChart* chart, QBarSeries* bars, QBarSet* set, const FollowResult& result,
                 QAbstractAxis* categoryAxis, QAbstractAxis* countAxis) {
    if (result.baseline.size() != result.bars.size() || result.bars.isEmpty()) {
        chart->legend()->hide();
        return;
    }
    auto attach = [&](QXYSeries* series) {
        chart->addSeries(series);
        series->attachAxis(categoryAxis);
        series->attachAxis(countAxis);
    };
    auto* expected = new QScatterSeries;
    expected->setName(QStringLiteral("期望次数"));
    expected->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    expected->setMarkerSize(8);
    expected->setColor(kExpectedColor);
    expected->setBorderColor(kExpectedColor.darker(130));
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

    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont small = chart->legend()->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    chart->legend()->setFont(small);
    chart->legend()->show();

    QObject::connect(set, &QBarSet::hovered, set, [result](bool on, int index) {
        if (on && index >= 0 && index < result.bars.size())
            QToolTip::showText(QCursor::pos(),
                               tooltipText(result.bars[index], result.baseline[index]));
        else
            QToolTip::hideText();
    });
}

} // namespace

QString baselineSummary(const FollowResult& result) {
    const bool tested = std::any_of(result.baseline.cbegin(), result.baseline.cend(),
                                    [](const auto& b) { return b.p.has_value(); });
    if (!tested)
        return result.baseline.isEmpty()
                   ? QString()
                   : QStringLiteral("未与期望比较：跟随期数少于%1、等于范围内期数或无变化")
                         .arg(kFewestTestedDraws);
    const int marked = result.markedCount();
    if (marked == 0)
        return QStringLiteral("无显著偏离");
    return QStringLiteral("%1 个值与期望的偏离超出随机波动（Holm 校正 p < 0.01）").arg(marked);
}

CountAxis countAxis(qint64 highest) {
    constexpr int kMostIntervals = 8;
    // Room above the highest bar for its count label.
    const qint64 need = std::max<qint64>(1, highest + std::max<qint64>(1, highest / 20));
    for (qint64 magnitude = 1;; magnitude *= 10)
        for (qint64 factor : {1, 2, 5}) {
            const qint64 step = factor * magnitude;
            const qint64 intervals = (need + step - 1) / step;
            if (intervals <= kMostIntervals)
                return {intervals * step, int(intervals)};
        }
}

void showResultChart(QChartView* view, const FollowResult& result, int resultKind) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("结果分布（%1，%2 期）")
                        .arg(kindNames().value(resultKind))
                        .arg(result.followDraws));
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);

    auto* set = new QBarSet(QStringLiteral("出现次数"));
    QStringList categories;
    qint64 highest = 0;
    for (const FollowResult::Bar& bar : result.bars) {
        *set << double(bar.count);
        categories << bar.label;
        highest = std::max(highest, bar.count);
    }
    for (const FollowResult::Baseline& b : result.baseline)
        highest = std::max(highest, qint64(std::ceil(b.expected)));
    set->setColor(QColor(0x3b, 0x7d, 0xd8));
    // Counts stand inside the foot of each bar: the expected-count markers sit near the bars'
    // tops, where labels above the bars would run into them.
    set->setLabelColor(Qt::white);
    // Fifteen bars share a narrow chart: small labels keep every count and value whole.
    QFont small = set->labelFont();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    set->setLabelFont(small);

    auto* series = new QBarSeries;
    series->append(set);
    series->setBarWidth(0.7);
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideBase);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);

    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    categoryAxis->setLabelsFont(small);
    categoryAxis->setTruncateLabels(false);
    categoryAxis->setGridLineVisible(false);
    chart->addAxis(categoryAxis, Qt::AlignBottom);
    series->attachAxis(categoryAxis);

    auto* countAxis = new QValueAxis;
    const CountAxis axis = quorvex::countAxis(highest);
    countAxis->setRange(0, double(axis.top));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    countAxis->setTickCount(axis.intervals + 1);
    countAxis->setLabelsFont(small);
    chart->addAxis(countAxis, Qt::AlignLeft);
    series->attachAxis(countAxis);

    addBaseline(chart, series, set, result, categoryAxis, countAxis);

    // Counts over the bars only where they fit side by side; the result grid has them anyway.
    const qsizetype barCount = std::max<qsizetype>(1, result.bars.size());
    QObject::connect(chart, &QChart::plotAreaChanged, series,
                     [series, barCount](const QRectF& area) {
                         series->setLabelsVisible(area.width() / double(barCount) >= 22.0);
                     });

    // The view owns its chart; setting a new one leaves the old one to us.
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

} // namespace quorvex
