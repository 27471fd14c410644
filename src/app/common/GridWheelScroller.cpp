#include "GridWheelScroller.h"

#include <QScrollBar>
#include <QTableView>
#include <QWheelEvent>

namespace quorvex {

int gridTopRow(const QTableView* grid) {
    // Scrolling per item keeps the scroll bar's value equal to the top row.
    return grid->verticalScrollBar()->value();
}

void setGridTopRow(QTableView* grid, int row) {
    grid->verticalScrollBar()->setValue(row);
}

void GridWheelScroller::addGrid(QTableView* grid) {
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    grid->viewport()->installEventFilter(this);
    grids_.append(grid);
}

bool GridWheelScroller::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    QTableView* grid = nullptr;
    for (QTableView* g : grids_) {
        if (g->viewport() == watched)
            grid = g;
    }
    auto* wheel = static_cast<QWheelEvent*>(event);
    const int delta = wheel->angleDelta().y();
    if (!grid || !grid->hasFocus() || delta == 0)
        return QObject::eventFilter(watched, event);
    const int top = gridTopRow(grid);
    if (delta > 0) {
        if (top > 0)
            setGridTopRow(grid, top - 1);
    } else {
        setGridTopRow(grid, top + 1);
    }
    emit scrolled(grid);
    return true;
}

} // namespace quorvex
