#include "BacktestChart.h"

#include "BarTooltips.h"
#include "ResultChart.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#include <cmath>

namespace quorvex {

namespace {

const QColor kHitsColor(0x3b, 0x7d, 0xd8);
const QColor kExpectedColor(0xf0, 0x8c, 0x1a);

// At most this many issue numbers under the chart: seven digits each need their room.
constexpr int kIssueLabels = 4;

QLineSeries* curve(const QVector<double>& values, const QString& name = {}) {
    auto* series = new QLineSeries;
    series->setName(name);
    for (qsizetype i = 0; i < values.size(); ++i)
        series->append(double(i), values[i]);
    return series;
}

} // namespace

BacktestCurves backtestCurves(const BacktestResult& result) {
    BacktestCurves c;
    double hits = 0;
    double expected = 0;
    double variance = 0;
    auto add = [&] {
        const double spread = 2 * std::sqrt(variance);
        c.hits << hits;
        c.expected << expected;
        c.low << std::max(0.0, expected - spread);
        c.high << expected + spread;
    };
    add();
    for (const BacktestRow& row : result.rows) {
        hits += row.hits;
        expected += row.expected;
        variance += row.variance;
        add();
    }
    return c;
}

QStringList backtestPointTips(const BacktestResult& result, const BacktestCurves& curves) {
    QStringList tips;
    for (qsizetype i = 0; i < curves.hits.size(); ++i) {
        const QString where = i == 0 ? QStringLiteral("回测开始前")
                                     : QStringLiteral("%1期").arg(result.rows.at(i - 1).issue);
        tips << QStringLiteral("%1\n累计命中：%2\n随机期望：%3")
                    .arg(where)
                    .arg(qint64(curves.hits[i]))
                    .arg(QString::number(curves.expected[i], 'f', 3));
    }
    return tips;
}

void showBacktestChart(QChartView* view, const BacktestResult& result) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("累计命中与随机期望"));
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    QFont small = chart->legend()->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));

    const BacktestCurves c = backtestCurves(result);
    auto* band = new QAreaSeries(curve(c.high), curve(c.low));
    band->setName(QStringLiteral("±2σ"));
    QColor bandColor = kExpectedColor;
    bandColor.setAlpha(60);
    band->setBrush(bandColor);
    band->setPen(Qt::NoPen);
    QLineSeries* expected = curve(c.expected, QStringLiteral("随机期望"));
    expected->setPen(QPen(kExpectedColor, 2, Qt::DashLine));
    QLineSeries* hits = curve(c.hits, QStringLiteral("累计命中"));
    hits->setPen(QPen(kHitsColor, 2));
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(band), static_cast<QAbstractSeries*>(expected),
          static_cast<QAbstractSeries*>(hits)})
        chart->addSeries(s);

    // The issues along the bottom: a few of their numbers, at their places.
    auto* issueAxis = new QCategoryAxis;
    issueAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    issueAxis->setLabelsFont(small);
    issueAxis->setTruncateLabels(false);
    const qsizetype n = result.rows.size();
    issueAxis->setRange(0, double(std::max<qsizetype>(1, n)));
    // In the middle of equal stretches, so no label meets the chart's edge.
    const qsizetype labels = std::min<qsizetype>(n, kIssueLabels);
    for (qsizetype k = 0; k < labels; ++k) {
        const qsizetype i = (2 * k + 1) * n / (2 * labels);
        issueAxis->append(QString::number(result.rows[i].issue), double(i + 1));
    }
    chart->addAxis(issueAxis, Qt::AlignBottom);

    auto* countAxis = new QValueAxis;
    const double highest = std::max(c.hits.last(), c.high.last());
    applyCountAxis(countAxis, quorvex::countAxis(qint64(std::ceil(highest))));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    countAxis->setLabelsFont(small);
    chart->addAxis(countAxis, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(issueAxis);
        s->attachAxis(countAxis);
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(small);
    new BarTooltips(view, chart, hits, backtestPointTips(result, c));

    // The view owns its chart; setting a new one leaves the old one to us.
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

} // namespace quorvex
