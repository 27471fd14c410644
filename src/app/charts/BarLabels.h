#pragma once

#include <QFont>
#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <QVector>

#include <optional>

class QBarCategoryAxis;
class QBarSeries;
class QCategoryAxis;
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

// How the category labels stand under the bars, each centred under its bar: with more than one
// row, every rows-th label on the same row, the first label on the lowest.
struct CategoryFit {
    double pointSize = 0;
    bool upright = false;
    int rows = 1;

    bool operator==(const CategoryFit&) const = default;
};

// The first arrangement in which every label keeps clear of its neighbours on its row and the
// rows take no more than depth: the larger font first (down to a least legible size), then
// fewer rows, lying before upright (where that is narrower). When none fits, lying at the least
// size in the rows there is depth for: crowded, but every label there.
CategoryFit fitCategoryLabels(const QStringList& texts, const QFont& font, double slotWidth,
                              double depth);

// Keeps the chart readable at every size: the count labels of the bars (placed as above), the
// category labels (fitted as above) and as many count-axis steps as the plot's height has room
// for. Lives as long as its chart.
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
    void fitCategories(const QRectF& plotArea);
    void placeLabels(const QRectF& plotArea);

    QChart* chart_;
    QBarSeries* series_;
    QBarCategoryAxis* categories_;
    QValueAxis* countAxis_;
    QVector<qint64> counts_;
    QVector<double> expected_;
    QVector<QGraphicsSimpleTextItem*> labels_;
    // The category labels, a row an axis. The bar axis shows none of its own: it hides a first
    // or last label wider than its bar's slot, and has a single row.
    QVector<QCategoryAxis*> categoryRows_;
    QFont categoryFont_;
    CategoryFit categoryFit_;
    bool fitting_ = false;
};

} // namespace quorvex
