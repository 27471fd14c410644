#pragma once

#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace quorvex {

// A progress dialog for work that runs on the window's thread and reports (done, total) now and
// then: it shows once the work looks like lasting longer than delayMs, keeps the window drawn
// while it shows, and its Cancel makes every later report answer false.
class WorkProgress {
public:
    WorkProgress(QWidget* window, const QString& title, const QString& label, int delayMs);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // Whether the work should go on.
    bool report(qsizetype done, qsizetype total);
    bool cancelled() const;

private:
    QPointer<QProgressDialog> dialog_;
};

} // namespace quorvex
