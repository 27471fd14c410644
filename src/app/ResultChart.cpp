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

} // namespace

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
    const CountAxis axis = quorvex::countAxis(highest);
    countAxis->setRange(0, double(axis.top));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    countAxis->setTickCount(axis.intervals + 1);
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
