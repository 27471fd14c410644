#pragma once

#include "app/common/Dialogs.h"

#include "import/OnlineUpdate.h"
#include "session/SearchSession.h"

#include <QObject>
#include <QPointer>

class QProgressDialog;
class QWidget;

namespace quorvex {

// Command21 in the window: asks, then runs the core's online update with a progress dialog whose
// Cancel stops it; the window keeps redrawing. While it runs, busyChanged(true) tells the window
// to disable every other command that changes the history.
class OnlineUpdateRunner : public QObject {
    Q_OBJECT
public:
    OnlineUpdateRunner(HistoryStore& store, SearchSession& session, Dialogs* dialogs,
                       QWidget* window);

    bool isRunning() const { return update_ && update_->isRunning(); }
    // The page timeout, shorter in tests.
    void setPageTimeout(int milliseconds) { pageTimeoutMs_ = milliseconds; }

    void Command21_Click();
    // The 设置 menu entry that edits the address of the results service.
    void editServerAddress();

signals:
    void busyChanged(bool busy);
    void historyChanged();

private:
    void finished(const UpdateReport& report);

    HistoryStore& store_;
    SearchSession& session_;
    Dialogs* dialogs_;
    QWidget* window_;
    QPointer<OnlineUpdate> update_;
    QPointer<QProgressDialog> progress_;
    int pageTimeoutMs_ = 30000;
};

} // namespace quorvex
