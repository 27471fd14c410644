#pragma once

#include <QObject>

class QKeyEvent;
class QWidget;

namespace quorvex {

// Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z belong to the history of changes wherever the focus is in the
// window. A text box would otherwise take them for its own typing, and an entry box emptied after
// its draw was stored would refill with that draw and store it again. So no box of the window
// sees them: the window's undo and redo entries take them, and while there is no step to take
// they do nothing.
class HistoryStepKeys : public QObject {
    Q_OBJECT
public:
    explicit HistoryStepKeys(QWidget* window);

    static bool isStepKey(const QKeyEvent* key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
};

} // namespace quorvex
