#include "HistoryFileWatch.h"

#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>

namespace quorvex {

HistoryFileWatch::HistoryFileWatch(QWidget* window, const QString& path)
    : QObject(window), window_(window) {
    gather_ = new QTimer(this);
    gather_->setSingleShot(true);
    gather_->setInterval(300);
    connect(gather_, &QTimer::timeout, this, &HistoryFileWatch::checkWanted);
    window->installEventFilter(this);
    if (path.isEmpty())
        return;
    files_ = new QFileSystemWatcher(this);
    files_->addPath(path);
    connect(files_, &QFileSystemWatcher::fileChanged, this, [this](const QString& changed) {
        // A file replaced by another keeps no watch: watch the new one.
        if (!files_->files().contains(changed) && QFileInfo::exists(changed))
            files_->addPath(changed);
        gather_->start();
    });
}

bool HistoryFileWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::ActivationChange &&
        window_->isActiveWindow())
        gather_->start(0);
    return QObject::eventFilter(watched, event);
}

} // namespace quorvex
