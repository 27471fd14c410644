#pragma once

#include <QObject>
#include <QStringList>

class QAbstractSeries;
class QChart;
class QChartView;

namespace quorvex {

// Each bar's tooltip, shown when the pointer rests over its column of the plot (the bar and
// the gaps beside it). A curve with a point at each whole x is served alike, one column a point.
// The view's own tooltip handling would hide any tip shown on hover the moment the pointer rests
// (no item of the chart carries a tooltip of its own), so the tips are answered here instead. Lives
// as long as its chart.
class BarTooltips : public QObject {
    Q_OBJECT
public:
    // texts: one per bar (or point), in the order of x.
    BarTooltips(QChartView* view, QChart* chart, QAbstractSeries* series, QStringList texts);

    // The bar under a point of the view's viewport; -1 for none.
    int barAt(const QPoint& viewportPos) const;
    const QStringList& texts() const { return texts_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QChartView* view_;
    QObject* viewport_;
    QChart* chart_;
    QAbstractSeries* series_;
    QStringList texts_;
};

} // namespace quorvex
