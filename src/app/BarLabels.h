#pragma once

#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QVector>

#include <optional>

class QBarCategoryAxis;
class QBarSeries;
class QChart;
class QGraphicsSimpleTextItem;
class QValueAxis;

namespace quorvex {

// How the count labels of the bars are written at the chart's present size.
enum class LabelTurn { Lying, Upright, None };

// Lying where the widest label fits on a bar, upright where the label's height fits in a bar's
// slot, else none (the tooltips and the result grid still hold the counts).
LabelTurn labelTurn(QSizeF widestLabel, double barWidth, double slotWidth);

// Where one label goes: inside the foot of its bar when the bar is long enough, else just above
// the bar when it clears the expected-count marker, else above both, when the plot has room;
// nothing when neither fits. bar and marker in the chart's coordinates; label lying down.
std::optional<QRectF> labelPlace(QSizeF label, LabelTurn turn, const QRectF& bar,
                                 const QRectF& marker, const QRectF& plotArea);

// Keeps the chart readable at every size: the count labels of the bars (placed as above), the
// category labels turned upright when they do not fit side by side, and as many count-axis
// steps as the plot's height has room for. Lives as long as its chart.
class BarLabels : public QObject {
    Q_OBJECT
public:
    // counts and expected: one per bar, in category order; expected may be empty.
    BarLabels(QChart* chart, QBarSeries* series, QBarCategoryAxis* categories,
              QValueAxis* countAxis, QVector<qint64> counts, QVector<double> expected);

    // The labels as placed now, in bar order (hidden ones included).
    const QVector<QGraphicsSimpleTextItem*>& labels() const { return labels_; }

private:
    void fit(const QRectF& plotArea);
    void fitCountAxis(const QRectF& plotArea);
    void fitCategories(double slotWidth);
    void placeLabels(const QRectF& plotArea);

    QChart* chart_;
    QBarSeries* series_;
    QBarCategoryAxis* categories_;
    QValueAxis* countAxis_;
    QVector<qint64> counts_;
    QVector<double> expected_;
    QVector<QGraphicsSimpleTextItem*> labels_;
    bool fitting_ = false;
};

} // namespace quorvex
