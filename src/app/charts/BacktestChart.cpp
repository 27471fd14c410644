#include "BacktestChart.h"

#include "BarTooltips.h"
#include "ChartStyle.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QLineSeries>
#include <QValueAxis>

#include <cmath>

namespace quorvex {

namespace {

// At most this many issue numbers under the chart, with at least this much room between two.
constexpr int kIssueLabels = 4;
constexpr double kIssueGap = 12;

QLineSeries* curve(const QVector<double>& values, const QString& name = {}) {
    auto* series = new QLineSeries;
    series->setName(name);
    for (qsizetype i = 0; i < values.size(); ++i)
        series->append(double(i), values[i]);
    return series;
}

// Labels as many issues as the plot's width has room for (at least one): each in the middle of
// an equal stretch of the axis, so none passes the plot's edges, naming the issue tried there.
// Leaves the labels as they are when they stay the same.
void fitIssueLabels(QCategoryAxis* axis, const QVector<qint64>& issues, double plotWidth) {
    const qsizetype n = issues.size();
    if (n == 0)
        return;
    const QFontMetricsF metrics(axis->labelsFont());
    const double widest = std::max(metrics.horizontalAdvance(QString::number(issues.first())),
                                   metrics.horizontalAdvance(QString::number(issues.last())));
    const qsizetype labels = std::clamp<qsizetype>(qsizetype(plotWidth / (widest + kIssueGap)), 1,
                                                   std::min<qsizetype>(n, kIssueLabels));
    // Issue i (from 1) is tried between the points i - 1 and i.
    QStringList texts;
    QVector<double> places;
    for (qsizetype k = 0; k < labels; ++k) {
        places << double(2 * k + 1) * double(n) / double(2 * labels);
        texts << QString::number(issues[qsizetype(std::ceil(places.last())) - 1]);
    }
    if (axis->categoriesLabels() == texts)
        return;
    for (const QString& label : axis->categoriesLabels())
        axis->remove(label);
    for (qsizetype k = 0; k < labels; ++k)
        axis->append(texts[k], places[k]);
}

} // namespace

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
    QChart* chart = newChart(QStringLiteral("累计命中与随机期望"));
    const QFont small = smallFont(chart->legend()->font());

    const BacktestCurves c = backtestCurves(result);
    auto* band = new QAreaSeries(curve(c.high), curve(c.low));
    band->setName(QStringLiteral("±2σ"));
    QColor bandColor = expectedColor();
    bandColor.setAlpha(60);
    band->setBrush(bandColor);
    band->setPen(Qt::NoPen);
    QLineSeries* expected = curve(c.expected, QStringLiteral("随机期望"));
    expected->setPen(QPen(expectedColor(), 2, Qt::DashLine));
    QLineSeries* hits = curve(c.hits, QStringLiteral("累计命中"));
    hits->setPen(QPen(countedColor(), 2));
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(band), static_cast<QAbstractSeries*>(expected),
          static_cast<QAbstractSeries*>(hits)})
        chart->addSeries(s);

    // The issues along the bottom: a few of their numbers, fitted to the plot's width.
    auto* issueAxis = new QCategoryAxis;
    issueAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    issueAxis->setLabelsFont(small);
    issueAxis->setTruncateLabels(false);
    issueAxis->setRange(0, double(std::max<qsizetype>(1, result.rows.size())));
    chart->addAxis(issueAxis, Qt::AlignBottom);

    // The counts up the side, as many steps as the plot's height has room for.
    const qint64 highest = qint64(std::ceil(std::max(c.hits.last(), c.high.last())));
    QValueAxis* countAxis = addCountAxis(chart, highest, small);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(issueAxis);
        s->attachAxis(countAxis);
    }
    QVector<qint64> issues;
    for (const BacktestRow& row : result.rows)
        issues << row.issue;
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [=](const QRectF& plot) {
        fitCountAxis(countAxis, highest, plot.height());
        fitIssueLabels(issueAxis, issues, plot.width());
    });
    showLegendBelow(chart, small);
    new BarTooltips(view, chart, hits, backtestPointTips(result, c));

    showChart(view, chart);
}

} // namespace quorvex
