#include "BarLabels.h"

#include "ChartStyle.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBrush>
#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QTextDocument>
#include <QValueAxis>

#include <cmath>

namespace quorvex {

namespace {

constexpr double kGap = 2;        // between a label and its bar's edge
constexpr double kMarkerHalf = 5; // the expected-count marker, its outline included
const QColor kInsideColor(Qt::white);
const QColor kAboveColor(0x30, 0x30, 0x30);

// Category labels: at most this many rows, and no smaller than this.
constexpr int kMostRows = 3;
constexpr double kLeastPointSize = 6;
constexpr double kPointStep = 0.5;
// Qt Charts writes an axis label as a text document with this margin round the text, and
// gives each axis under the plot the height of its labels and about this much more.
constexpr double kTextMargin = 1;
constexpr double kRowPadding = 6;
// Qt Charts squeezes the axes under the plot into this share of the height between the title
// and the legend.
constexpr double kAxisShare = 0.4;

// The room an axis label takes, lying.
QSizeF axisLabelSize(const QFont& font, const QString& text) {
    QTextDocument document;
    document.setDocumentMargin(kTextMargin);
    document.setDefaultFont(font);
    document.setPlainText(text);
    return document.size();
}

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

CategoryFit fitCategoryLabels(const QStringList& texts, const QFont& font, double slotWidth,
                              double depth) {
    const double largest = font.pointSizeF();
    const double least = std::min(largest, kLeastPointSize);
    for (int step = 0;; ++step) {
        const double size = std::max(least, largest - step * kPointStep);
        QFont sized = font;
        sized.setPointSizeF(size);
        QSizeF most;
        for (const QString& text : texts)
            most = most.expandedTo(axisLabelSize(sized, text));
        // Turned, a label is as wide as its line is high: worth it only where that is less
        // (not for a single Chinese character). Its line spacing then keeps the glyphs apart.
        const bool turnNarrows = most.height() < most.width();
        for (int rows = 1; rows <= kMostRows; ++rows) {
            // Neighbours on a row stand rows slots apart.
            const double room = rows * slotWidth;
            if (most.width() + kGap <= room && rows * (most.height() + kRowPadding) <= depth)
                return {size, false, rows};
            if (turnNarrows && most.height() <= room &&
                rows * (most.width() + kRowPadding) <= depth)
                return {size, true, rows};
        }
        // Crowded: as many rows as there is depth for, so that no row lies over another.
        if (size == least)
            return {least, false,
                    std::clamp(int(depth / (most.height() + kRowPadding)), 1, kMostRows)};
    }
}

BarLabels::BarLabels(QChart* chart, QBarSeries* series, QBarCategoryAxis* categories,
                     QValueAxis* countAxis, QVector<qint64> counts, QVector<double> expected)
    : QObject(chart), chart_(chart), series_(series), categories_(categories),
      countAxis_(countAxis), counts_(std::move(counts)), expected_(std::move(expected)) {
    const QFont font = categories_->labelsFont();
    categoryFont_ = font;
    // Each row's labels stand on the end of their categories: at their bars.
    if (!counts_.isEmpty()) {
        categories_->setLabelsVisible(false);
        for (int r = 0; r < kMostRows; ++r) {
            auto* row = new QCategoryAxis;
            row->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
            row->setRange(-0.5, double(counts_.size()) - 0.5);
            row->setLineVisible(false);
            row->setGridLineVisible(false);
            row->setTruncateLabels(false);
            row->setVisible(false);
            chart_->addAxis(row, Qt::AlignBottom);
            categoryRows_.append(row);
        }
    }
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
    fitCategories(plotArea);
    fitting_ = false;
    placeLabels(chart_->plotArea());
}

void BarLabels::fitCountAxis(const QRectF& plotArea) {
    qint64 highest = 0;
    for (qsizetype i = 0; i < counts_.size(); ++i)
        highest = std::max(
            {highest, counts_[i], i < expected_.size() ? qint64(std::ceil(expected_[i])) : 0});
    quorvex::fitCountAxis(countAxis_, highest, plotArea.height());
}

void BarLabels::fitCategories(const QRectF& plotArea) {
    QLegend* legend = chart_->legend();
    const double bottom = legend->isVisible() && legend->isAttachedToChart()
                              ? legend->geometry().top()
                              : chart_->rect().bottom() - chart_->margins().bottom();
    const QStringList texts = categories_->categories();
    // The bar axis, its labels hidden, still takes a row's padding.
    const CategoryFit fit = fitCategoryLabels(texts, categoryFont_, plotArea.width() / texts.size(),
                                              kAxisShare * (bottom - plotArea.top()) - kRowPadding);
    if (fit == categoryFit_)
        return;
    categoryFit_ = fit;
    QFont font = categoryFont_;
    font.setPointSizeF(fit.pointSize);
    for (int r = 0; r < categoryRows_.size(); ++r) {
        QCategoryAxis* row = categoryRows_[r];
        for (const QString& label : row->categoriesLabels())
            row->remove(label);
        row->setStartValue(-0.5);
        // The first label on the lowest row, clear of the count axis's 0.
        if (r < fit.rows)
            for (qsizetype i = fit.rows - 1 - r; i < texts.size(); i += fit.rows)
                row->append(texts[i], double(i));
        row->setLabelsFont(font);
        row->setLabelsAngle(fit.upright ? -90 : 0);
        row->setVisible(r < fit.rows);
    }
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
