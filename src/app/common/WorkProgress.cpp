#include "WorkProgress.h"

#include <QProgressDialog>

#include <limits>

namespace quorvex {

WorkProgress::WorkProgress(QWidget* window, const QString& title, const QString& label, int delayMs)
    : dialog_(new QProgressDialog(label, QStringLiteral("取消"), 0, 0, window)) {
    dialog_->setObjectName(QStringLiteral("workProgress"));
    dialog_->setWindowTitle(title);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(delayMs);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
}

WorkProgress::~WorkProgress() {
    delete dialog_;
}

bool WorkProgress::report(qsizetype done, qsizetype total) {
    if (!dialog_)
        return false;
    constexpr qsizetype most = std::numeric_limits<int>::max();
    if (dialog_->maximum() != int(std::min(total, most)))
        dialog_->setMaximum(int(std::min(total, most)));
    // Shown, a modal dialog handles the window's events here, its Cancel among them.
    dialog_->setValue(int(std::min(done, most)));
    return !dialog_->wasCanceled();
}

bool WorkProgress::cancelled() const {
    return !dialog_ || dialog_->wasCanceled();
}

} // namespace quorvex
