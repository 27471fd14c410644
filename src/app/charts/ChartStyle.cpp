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

QStringList titleLines(const QString& title, const QFont& font, double width) {
    const QFontMetricsF metrics(font);
    const auto fits = [&](const QString& line) { return metrics.horizontalAdvance(line) <= width; };
    QStringList lines;
    for (const QString& given : title.split(QLatin1Char('\n'))) {
        QString rest = given;
        while (!fits(rest)) {
            // The longest head that fits, ending where a line may break; at least one character.
            qsizetype cut = 1;
            while (cut < rest.size() && fits(rest.left(cut + 1)))
                ++cut;
            qsizetype at = cut;
            while (at > 0 && !QStringLiteral("，。；、 ").contains(rest.at(at - 1)) &&
                   rest.at(at) != QChar(u'（'))
                --at;
            if (at == 0)
                at = cut;
            lines << rest.left(at).trimmed();
            rest = rest.mid(at).trimmed();
        }
        lines << rest;
    }
    return lines;
}

namespace {

// The title's room: the chart less its margins and the title's own text margin each side.
void wrapTitle(QChart* chart, const QString& title) {
    const double width =
        chart->size().width() - chart->margins().left() - chart->margins().right() - 16;
    if (width <= 0)
        return;
    QStringList lines = titleLines(title, chart->titleFont(), width);
    for (QString& line : lines)
        line = line.toHtmlEscaped();
    // The title is rich text: the chart lays out its lines and keeps room for them all.
    const QString wrapped = lines.join(QStringLiteral("<br>"));
    if (chart->title() != wrapped)
        chart->setTitle(wrapped);
}

} // namespace

QChart* newChart(const QString& title, double titleScale) {
    auto* chart = new QChart;
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * titleScale);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitle(title.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    QObject::connect(chart, &QGraphicsWidget::geometryChanged, chart,
                     [chart, title] { wrapTitle(chart, title); });
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
