#pragma once

#include "app/common/Dialogs.h"

#include "session/SearchSession.h"
#include "store/HistoryStore.h"

#include <QObject>

class QAction;
class QMenu;
class QModelIndex;
class QPoint;
class QTableView;

namespace quorvex {

struct MaintenanceReport;

// The 历史管理 commands that take draws out of the history: they ask the user, let the core's
// maintenance module do the work and show its report. After each the window refreshes and
// puts the focus back into the first entry box (commandDone).
class HistoryCommands : public QObject {
    Q_OBJECT
public:
    HistoryCommands(HistoryStore& store, SearchSession& session, Dialogs* dialogs,
                    const QString& folder, QObject* parent = nullptr);

    // Command3 and mnuErase: the newest draw, without confirmation.
    void Command3_Click();
    void mnuClear_Click();
    // Keep up to an issue (offered: the grid's current row, else the last issue); drop
    // the last N issues (counted on issue numbers).
    void mnuDlzd_Click();
    void mnuEszhzd_Click();
    // 撤销：<step> (Ctrl+Z anywhere in the window) and 重做：<step> (Ctrl+Y, Ctrl+Shift+Z): one
    // step of the history of changes back or forward, said in the status bar.
    void mnuUndo_Click();
    void mnuRedo_Click();
    // The two entries above: named after the steps they take, enabled while there is one and
    // the history may be written.
    void setStepActions(QAction* undo, QAction* redo);
    void setWritable(bool writable);
    void refreshStepActions();
    // 按当前参数重算历史号码: every draw derived afresh with the bases as they stand.
    void mnuRebuild_Click();
    // Every draw derived afresh with these bases, a copy kept first; true when it was done.
    bool rebuildWith(const ValueBases& bases);
    // The one rebuild question, under title: why it is asked (empty for the menu's own command),
    // then whether to derive every draw afresh with bases (the new ones, or those that stand).
    // Said instead on a history that cannot be written. True when the history was rebuilt.
    bool offerRebuild(const QString& title, const QString& why, const ValueBases& bases,
                      bool newBases);

    // A right-button release on the grid pops up menu at the mouse, the row under it made the
    // current one; the Menu key pops it up at the grid's current cell.
    void popUpMenuOn(QTableView* grid, QMenu* menu);

signals:
    // A command ran (not cancelled); changed when the history is no longer what it was.
    void commandDone(bool changed);
    // What a command did, for the status bar.
    void said(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void popUpAt(const QPoint& globalPos, const QModelIndex& row);
    // The issue of the grid's current row, however it was chosen (nothing when it is not marked).
    std::optional<qint64> selectedIssue() const;
    void show(const QString& title, const MaintenanceReport& report);
    // A typed answer that is no positive whole number: said once, nothing changes.
    void refuse(const QString& title);
    void takeStep(bool redo);

    HistoryStore& store_;
    SearchSession& session_;
    Dialogs* dialogs_;
    QString folder_;
    QTableView* grid_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    bool writable_ = true;
};

} // namespace quorvex
