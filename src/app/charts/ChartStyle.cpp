#include "ChartStyle.h"

#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QLegend>
#include <QValueAxis>

#include <algorithm>

namespace quorvex {

QColor countedColor() {
    return QColor(0x3b, 0x7d, 0xd8);
}

QColor expectedColor() {
    return QColor(0xf0, 0x8c, 0x1a);
}

QChart* newChart(const QString& title, double titleScale) {
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * titleScale);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QFont smallFont(const QFont& base) {
    QFont small = base;
    small.setPointSizeF(std::max(6.0, base.pointSizeF() * 0.8));
    return small;
}

CountAxis countAxis(qint64 highest, int mostSteps) {
    const qint64 most = std::max(1, mostSteps);
    // A little room above the highest bar, for the marks drawn over it.
    const qint64 need = std::max<qint64>(1, highest + std::max<qint64>(1, highest / 20));
    for (qint64 magnitude = 1;; magnitude *= 10)
        for (qint64 factor : {1, 2, 5}) {
            const qint64 step = factor * magnitude;
            if (need / step > most)
                continue;
            // Up to the next step, unless that leaves a quarter of the plot empty.
            const qint64 next = (need + step - 1) / step * step;
            return {next - need <= need / 4 ? next : need, step};
        }
}

void applyCountAxis(QValueAxis* axis, const CountAxis& counts) {
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(double(counts.step));
    axis->setRange(0, double(counts.top));
}

void fitCountAxis(QValueAxis* axis, qint64 highest, double plotHeight) {
    // A step's label needs about twice its height to stand clear of the next.
    const double labelHeight = QFontMetricsF(axis->labelsFont()).height();
    const CountAxis fitted =
        countAxis(highest, std::clamp(int(plotHeight / (2 * labelHeight)), 1, 8));
    if (axis->tickInterval() != double(fitted.step) || axis->max() != double(fitted.top))
        applyCountAxis(axis, fitted);
}

QValueAxis* addCountAxis(QChart* chart, qint64 highest, const QFont& font) {
    auto* axis = new QValueAxis;
    applyCountAxis(axis, countAxis(highest));
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setLabelsFont(font);
    axis->setTruncateLabels(false);
    chart->addAxis(axis, Qt::AlignLeft);
    return axis;
}

void showLegendBelow(QChart* chart, const QFont& font) {
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(font);
    chart->legend()->show();
}

void showChart(QChartView* view, QChart* chart) {
    // The view owns its chart; setting a new one leaves the old one to us.
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

} // namespace quorvex
