#include "FirstFrameReport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTableView>

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
    const QByteArray line = QByteArrayLiteral("first frame: ") +
                            QByteArray::number(grid_->model()->rowCount()) +
                            QByteArrayLiteral(" draws\n");
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t n = ::write(descriptor_, line.constData() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // nobody reads it: quitting is all that is left to do
        written += n;
    }
    QCoreApplication::quit();
}

} // namespace quorvex
