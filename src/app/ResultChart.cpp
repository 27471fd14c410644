#include "ResultChart.h"

#include "history/AttributeKind.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QValueAxis>

namespace quorvex {

namespace {

const QStringList& kindNames() {
    static const QStringList names{QStringLiteral("号码"), QStringLiteral("生肖"),
                                   QStringLiteral("头数"), QStringLiteral("尾数"),
                                   QStringLiteral("合数"), QStringLiteral("段数")};
    return names;
}

constexpr int kCountIntervals = 5;

// The top of the count axis: five whole, round steps (1, 2, 4, 5 times a power of ten) with room
// above the highest bar for its label.
qint64 axisTop(qint64 highest) {
    const double need = double(highest) * 1.12;
    for (qint64 magnitude = 1;; magnitude *= 10)
        for (qint64 factor : {1, 2, 4, 5})
            if (double(factor * magnitude * kCountIntervals) >= need)
                return factor * magnitude * kCountIntervals;
}

} // namespace

void showResultChart(QChartView* view, const FollowResult& result, int resultKind) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("结果分布（%1，%2 期）")
                        .arg(kindNames().value(resultKind))
                        .arg(result.followDraws));
    QFont titleFont = chart->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->hide();
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
    set->setColor(QColor(0x3b, 0x7d, 0xd8));
    set->setLabelColor(QColor(0x20, 0x20, 0x20));
    // Fifteen bars share a narrow chart: small labels keep every count and value whole.
    QFont small = set->labelFont();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    set->setLabelFont(small);

    auto* series = new QBarSeries;
    series->append(set);
    series->setBarWidth(0.7);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
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
    countAxis->setRange(0, axisTop(highest));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    countAxis->setTickCount(kCountIntervals + 1);
    countAxis->setLabelsFont(small);
    chart->addAxis(countAxis, Qt::AlignLeft);
    series->attachAxis(countAxis);

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
