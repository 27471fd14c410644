#pragma once

#include <QObject>

class QFileSystemWatcher;
class QTimer;
class QWidget;

namespace quorvex {

// Tells the window when another program may have written the history: the file changed (bursts
// of changes gathered into one), or the window became active again. The window then checks
// whether the history really moved on.
class HistoryFileWatch : public QObject {
    Q_OBJECT
public:
    // path: the history file; empty when no history is open (only activation is watched).
    HistoryFileWatch(QWidget* window, const QString& path);

signals:
    void checkWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    QFileSystemWatcher* files_ = nullptr;
    QTimer* gather_ = nullptr;
};

} // namespace quorvex
