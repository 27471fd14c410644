#include "HistoryStepKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace quorvex {

HistoryStepKeys::HistoryStepKeys(QWidget* window) : QObject(window), window_(window) {
    // The application's events: boxes made later (a combo box's line edit) are covered too.
    qApp->installEventFilter(this);
}

bool HistoryStepKeys::isStepKey(const QKeyEvent* key) {
    const QKeyCombination pressed = key->keyCombination();
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
           pressed == QKeyCombination(Qt::ControlModifier, Qt::Key_Z) ||
           pressed == QKeyCombination(Qt::ControlModifier, Qt::Key_Y) ||
           pressed == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
}

bool HistoryStepKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window_ || !isStepKey(static_cast<QKeyEvent*>(event)))
        return false;
    // Kept from the box, the override stays unclaimed and the window's shortcut takes the key; a
    // key press that still arrives (no step to take) is dropped rather than undo the box's text.
    event->ignore();
    return true;
}

} // namespace quorvex
