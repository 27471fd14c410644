#include "FirstFrameReport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTableView>
#include <QTimer>

#include <algorithm>

#include <cerrno>
#include <unistd.h>

namespace quorvex {

std::optional<int> FirstFrameReport::requestedDescriptor() {
    bool ok = false;
    const int fd = qEnvironmentVariableIntValue("QUORVEX_FIRST_FRAME_FD", &ok);
    if (!ok || fd < 0)
        return std::nullopt;
    return fd;
}

FirstFrameReport::FirstFrameReport(QTableView* grid, int descriptor, QObject* parent)
    : QObject(parent), grid_(grid), descriptor_(descriptor) {
    grid_->viewport()->installEventFilter(this);
}

bool FirstFrameReport::eventFilter(QObject* watched, QEvent* event) {
    // The grid is painted with the rest of its window in one pass, which is then put on the
    // screen: the report waits until that pass is over.
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        QMetaObject::invokeMethod(this, &FirstFrameReport::report, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void FirstFrameReport::report() {
    write(QByteArrayLiteral("first frame: ") + QByteArray::number(grid_->model()->rowCount()) +
          QByteArrayLiteral(" draws\n"));
    watchMs_ = qEnvironmentVariableIntValue("QUORVEX_WATCH_AFTER_MS");
    if (watchMs_ <= 0)
        return QCoreApplication::quit();
    // A timer due every few milliseconds: a tick that comes late tells how long the event loop
    // was held up.
    auto* timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &FirstFrameReport::tick);
    watched_.start();
    timer->start(2);
}

void FirstFrameReport::tick() {
    const qint64 now = watched_.elapsed();
    longestWait_ = std::max(longestWait_, now - lastTick_);
    lastTick_ = now;
    if (now < watchMs_)
        return;
    write(QByteArrayLiteral("longest wait after it: ") + QByteArray::number(longestWait_) +
          QByteArrayLiteral(" ms\n"));
    QCoreApplication::quit();
}

void FirstFrameReport::write(const QByteArray& line) {
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t n = ::write(descriptor_, line.constData() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // nobody reads it: quitting is all that is left to do
        written += n;
    }
}

} // namespace quorvex
