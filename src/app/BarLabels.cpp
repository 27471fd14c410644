#include "BarLabels.h"

#include "ResultChart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBrush>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QValueAxis>

#include <cmath>

namespace quorvex {

namespace {

constexpr double kGap = 2;        // between a label and its bar's edge
constexpr double kMarkerHalf = 5; // the expected-count marker, its outline included
const QColor kInsideColor(Qt::white);
const QColor kAboveColor(0x30, 0x30, 0x30);

} // namespace

LabelTurn labelTurn(QSizeF widestLabel, double barWidth, double slotWidth) {
    if (widestLabel.width() + kGap <= barWidth)
        return LabelTurn::Lying;
    if (widestLabel.height() <= slotWidth)
        return LabelTurn::Upright;
    return LabelTurn::None;
}

std::optional<QRectF> labelPlace(QSizeF label, LabelTurn turn, const QRectF& bar,
                                 const QRectF& marker, const QRectF& plotArea) {
    if (turn == LabelTurn::None)
        return std::nullopt;
    const QSizeF size = turn == LabelTurn::Lying ? label : label.transposed();
    const double x = bar.center().x() - size.width() / 2;
    if (size.height() + 2 * kGap <= bar.height())
        return QRectF(QPointF(x, bar.bottom() - kGap - size.height()), size);
    const QRectF onBar(QPointF(x, bar.top() - kGap - size.height()), size);
    if (onBar.top() >= plotArea.top() && !onBar.intersects(marker))
        return onBar;
    const QRectF onMarker(QPointF(x, std::min(bar.top(), marker.top()) - kGap - size.height()),
                          size);
    if (onMarker.top() >= plotArea.top())
        return onMarker;
    return std::nullopt;
}

BarLabels::BarLabels(QChart* chart, QBarSeries* series, QBarCategoryAxis* categories,
                     QValueAxis* countAxis, QVector<qint64> counts, QVector<double> expected)
    : QObject(chart), chart_(chart), series_(series), categories_(categories),
      countAxis_(countAxis), counts_(std::move(counts)), expected_(std::move(expected)) {
    const QFont font = categories_->labelsFont();
    for (qint64 count : counts_) {
        auto* label = new QGraphicsSimpleTextItem(QString::number(count), chart_);
        label->setFont(font);
        label->setZValue(1000); // over the bars and the markers
        label->setAcceptHoverEvents(false);
        label->hide();
        labels_.append(label);
    }
    connect(chart_, &QChart::plotAreaChanged, this, &BarLabels::fit);
}

void BarLabels::fit(const QRectF& plotArea) {
    // Changing the axes can move the plot area again; that call does the work.
    if (fitting_ || counts_.isEmpty())
        return;
    fitting_ = true;
    fitCountAxis(plotArea);
    fitCategories(plotArea.width() / counts_.size());
    fitting_ = false;
    placeLabels(chart_->plotArea());
}

void BarLabels::fitCountAxis(const QRectF& plotArea) {
    // A step's label needs about twice its height to stand clear of the next.
    const double labelHeight = QFontMetricsF(countAxis_->labelsFont()).height();
    const int room = std::clamp(int(plotArea.height() / (2 * labelHeight)), 1, 8);
    qint64 highest = 0;
    for (qsizetype i = 0; i < counts_.size(); ++i)
        highest = std::max(
            {highest, counts_[i], i < expected_.size() ? qint64(std::ceil(expected_[i])) : 0});
    const CountAxis axis = countAxis(highest, room);
    if (countAxis_->tickInterval() != double(axis.step) || countAxis_->max() != double(axis.top))
        applyCountAxis(countAxis_, axis);
}

void BarLabels::fitCategories(double slotWidth) {
    const QFontMetricsF metrics(categories_->labelsFont());
    double widest = 0;
    for (const QString& c : categories_->categories())
        widest = std::max(widest, metrics.horizontalAdvance(c));
    const int angle = widest + 2 * kGap <= slotWidth ? 0 : -90;
    if (categories_->labelsAngle() != angle)
        categories_->setLabelsAngle(angle);
}

void BarLabels::placeLabels(const QRectF& plotArea) {
    const double half = series_->barWidth() / 2;
    const QPointF origin = chart_->mapToPosition(QPointF(0, 0), series_);
    const double slot = chart_->mapToPosition(QPointF(1, 0), series_).x() - origin.x();
    QSizeF widest;
    for (const QGraphicsSimpleTextItem* label : labels_)
        widest = widest.expandedTo(label->boundingRect().size());
    const LabelTurn turn = labelTurn(widest, slot * series_->barWidth(), slot);
    for (qsizetype i = 0; i < labels_.size(); ++i) {
        QGraphicsSimpleTextItem* label = labels_[i];
        const QPointF topLeft =
            chart_->mapToPosition(QPointF(i - half, double(counts_[i])), series_);
        const QPointF bottomRight = chart_->mapToPosition(QPointF(i + half, 0), series_);
        const QRectF bar(topLeft, bottomRight);
        QRectF marker;
        if (i < expected_.size()) {
            const QPointF at = chart_->mapToPosition(QPointF(i, expected_[i]), series_);
            marker = QRectF(at - QPointF(kMarkerHalf, kMarkerHalf),
                            QSizeF(2 * kMarkerHalf, 2 * kMarkerHalf));
        }
        const auto place =
            labelPlace(label->boundingRect().size(), turn, bar.normalized(), marker, plotArea);
        label->setVisible(place.has_value());
        if (!place)
            continue;
        const bool inside = place->bottom() > bar.normalized().top();
        label->setBrush(inside ? kInsideColor : kAboveColor);
        if (turn == LabelTurn::Lying) {
            label->setRotation(0);
            label->setPos(place->topLeft());
        } else {
            // Turned about its origin, the text runs upwards from it.
            label->setRotation(-90);
            label->setPos(place->bottomLeft());
        }
    }
}

} // namespace quorvex
