#include "FrozenColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace quorvex {

FrozenColumns::FrozenColumns(QTableView* grid, int columns)
    : QObject(grid), grid_(grid), frozen_(new QTableView(grid)), columns_(columns) {
    frozen_->setObjectName(grid->objectName() + QStringLiteral("Frozen"));
    frozen_->setModel(grid->model());
    frozen_->setSelectionModel(grid->selectionModel());
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setAttribute(Qt::WA_TransparentForMouseEvents);
    frozen_->verticalHeader()->hide();
    frozen_->verticalHeader()->setDefaultSectionSize(grid->verticalHeader()->defaultSectionSize());
    frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->horizontalHeader()->setHighlightSections(false);
    frozen_->setAlternatingRowColors(grid->alternatingRowColors());
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    // A line on its right edge tells the frozen columns from the scrolled ones.
    frozen_->setStyleSheet(QStringLiteral("QTableView { border-right: 1px solid palette(mid); }"));
    frozen_->hide();

    connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, frozen_->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, &FrozenColumns::follow);
    connect(grid->horizontalScrollBar(), &QScrollBar::rangeChanged, this, &FrozenColumns::follow);
    connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, &FrozenColumns::follow);
    connect(grid->model(), &QAbstractItemModel::modelReset, this, &FrozenColumns::follow);
    connect(grid->model(), &QAbstractItemModel::layoutChanged, this, &FrozenColumns::follow);
    grid->installEventFilter(this);
}

bool FrozenColumns::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        follow();
    return QObject::eventFilter(watched, event);
}

void FrozenColumns::follow() {
    const int count = grid_->model()->columnCount();
    const bool scrolled = grid_->horizontalScrollBar()->value() > 0 && count > columns_;
    frozen_->setVisible(scrolled);
    if (!scrolled)
        return;
    int width = 0;
    for (int c = 0; c < count; ++c) {
        const bool kept = c < columns_;
        frozen_->setColumnHidden(c, !kept);
        if (kept) {
            frozen_->setColumnWidth(c, grid_->columnWidth(c));
            width += grid_->columnWidth(c);
        }
    }
    const int frame = grid_->frameWidth();
    frozen_->horizontalHeader()->setFixedHeight(grid_->horizontalHeader()->height());
    frozen_->setGeometry(frame, frame, width + 1,
                         grid_->viewport()->height() + grid_->horizontalHeader()->height());
    frozen_->verticalScrollBar()->setValue(grid_->verticalScrollBar()->value());
}

} // namespace quorvex
