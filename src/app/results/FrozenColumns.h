#pragma once

#include <QObject>

class QTableView;

namespace quorvex {

// Keeps a grid's first columns in view while the others scroll sideways: a second view over the
// same model shows them over the grid's left edge whenever the grid is scrolled right. It lets
// clicks through to the grid, so selection, double-clicks and menus work as on the grid.
class FrozenColumns : public QObject {
    Q_OBJECT
public:
    FrozenColumns(QTableView* grid, int columns);

    // The view over the first columns; hidden while the grid is not scrolled sideways.
    QTableView* view() const { return frozen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QTableView* grid_;
    QTableView* frozen_;
    int columns_;
};

} // namespace quorvex
