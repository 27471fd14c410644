#pragma once

#include <QObject>
#include <QVector>

class QTableView;

namespace quorvex {

// The top visible row of a grid (model row index) and setting it; the grid limits the value.
int gridTopRow(const QTableView* grid);
void setGridTopRow(QTableView* grid, int row);

// One wheel event over the focused grid moves its top row by exactly one row, whatever the
// size of the step: up when the wheel turns away from the user, else down. Wheel events over a
// grid without the focus keep the grid's own handling.
class GridWheelScroller : public QObject {
    Q_OBJECT
public:
    explicit GridWheelScroller(QObject* parent = nullptr) : QObject(parent) {}
    void addGrid(QTableView* grid);

signals:
    // After a wheel step has moved a grid (or tried to).
    void scrolled(QTableView* grid);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVector<QTableView*> grids_;
};

} // namespace quorvex
