#include "BarTooltips.h"

#include <QAbstractSeries>
#include <QChart>
#include <QChartView>
#include <QHelpEvent>
#include <QToolTip>

#include <cmath>

namespace quorvex {

BarTooltips::BarTooltips(QChartView* view, QChart* chart, QAbstractSeries* series,
                         QStringList texts)
    : QObject(chart), view_(view), viewport_(view->viewport()), chart_(chart), series_(series),
      texts_(std::move(texts)) {
    viewport_->installEventFilter(this);
}

int BarTooltips::barAt(const QPoint& viewportPos) const {
    const QPointF at = chart_->mapFromScene(view_->mapToScene(viewportPos));
    if (!chart_->plotArea().contains(at))
        return -1;
    const double x = chart_->mapToValue(at, series_).x();
    const int bar = int(std::lround(x));
    if (bar < 0 || bar >= texts_.size())
        return -1;
    return bar;
}

bool BarTooltips::eventFilter(QObject* watched, QEvent* event) {
    // The viewport is compared as it was given: it still sends events while the view around it
    // is being destroyed, when the view may no longer be asked for anything.
    if (watched != viewport_ || event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int bar = barAt(help->pos());
    if (bar < 0) {
        QToolTip::hideText();
        return true;
    }
    // The tip stays while the pointer is within the bar's column, the gaps beside it included.
    const QRectF plot = chart_->plotArea();
    const QPointF left = chart_->mapToPosition(QPointF(bar - 0.5, 0), series_);
    const QPointF right = chart_->mapToPosition(QPointF(bar + 0.5, 0), series_);
    const QRectF column(QPointF(left.x(), plot.top()), QPointF(right.x(), plot.bottom()));
    const QRect inView = view_->mapFromScene(chart_->mapToScene(column)).boundingRect();
    QToolTip::showText(help->globalPos(), texts_[bar], view_->viewport(), inView);
    return true;
}

} // namespace quorvex
