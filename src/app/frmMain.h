#pragma once

#include "app/common/Dialogs.h"
#include "app/history/HistoryPanel.h"
#include "app/history/OnlineUpdateRunner.h"
#include "app/options/SearchOptionsPanel.h"
#include "app/results/ResultsPanel.h"

#include "session/SearchSession.h"
#include "settings/SettingsStore.h"
#include "store/HistorySnapshot.h"
#include "store/HistoryStore.h"

#include <QMainWindow>

#include <array>
#include <functional>

class QAction;
class QMenu;

namespace quorvex {

class ExportCommands;
class ExportNotice;
class GridWheelScroller;
class HistoryCommands;
class SettingsMenu;
class WindowMemory;

// The main window: menus, start-up and the wiring of its three panels (history, search options,
// results) to the search session and the history store, which make every decision.
//
// Every control and menu entry carries the system's name as its objectName, so tests find them
// with findChild. A control array element is named Name_Index: Option3(2) is "Option3_2",
// MaskEdBox1(1) "MaskEdBox1_1", Text2(11) "Text2_11", menu mnuSxcs(0) "mnuSxcs_0".
//
// Grids: the heading row is the view's horizontal header, so model row r is grid row r + 1.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // folder: the program's folder, holding Quorvex.mdb. dialogs must outlive the window.
    frmMain(const QString& folder, Dialogs* dialogs, QWidget* parent = nullptr);
    ~frmMain() override;

    Dialogs* dialogs() const { return dialogs_; }
    QString programFolder() const { return folder_; }
    HistoryStore& historyStore() { return store_; }
    bool isDatabaseOpen() const { return store_.isOpen(); }
    SearchSession& session() { return session_; }
    const SearchSession& session() const { return session_; }
    ValueBases valueBases() const { return session_.valueBases(); }

    // What the next search would read, from the session and the boxes as they stand; nothing,
    // after a message, when a box holds what cannot be used.
    std::optional<SearchRequest> searchRequest() { return options_->searchRequest(); }

    TextGridModel* matchGridModel() const { return results_->matchModel(); }
    TextGridModel* resultGridModel() const { return results_->resultModel(); }
    QChartView* chartView() const { return results_->chartView(); }
    ResultsPanel* resultsPanel() const { return results_; }
    HistoryCommands* historyCommands() const { return historyCommands_; }
    ExportCommands* exportCommands() const { return exportCommands_; }
    ExportNotice* exportNotice() const { return exportNotice_; }

    // After any change of the history: AddHaoma, then the session's QihaoXianshi,
    // SetStartIssue, SeekRefDraw and LoadRefValues; the results shown are marked as those of
    // the history before.
    void refreshAfterHistoryChange();
    // The trend page's kind and range worked out on the history as it stands, or why not.
    void showTrend();
    // When anything else wrote the history since the window last read it (another program, a
    // second window): the same refresh. Runs on activation, before every search and when the
    // file changes.
    void followOutsideChanges();

    void Command1_Click();
    void Command2_Click();
    // 回测: the follow search (or the combination search) tried on the last issues with the
    // options as they stand; a progress dialog whose Cancel leaves the results shown as they were.
    void runBacktest();
    // How long a backtest runs before its progress shows; shorter in tests.
    void setProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }
    OnlineUpdateRunner* onlineUpdate() const { return update_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    // Writing refused (a read-only or damaged history): every command that changes it is off.
    void setHistoryWritable(bool writable);
    void startUp();
    // Command1 and Command2: the request from the boxes, the search, its grids or its message.
    using SearchRun = Gated<FollowResult> (SearchSession::*)(const SearchRequest&);
    void runSearch(const QString& title, SearchRun run, bool combination);
    // Runs run on the request from the boxes, on the history as it stands, again when the
    // history moved on meanwhile. Nothing, with boxRefused set, when a box holds what cannot be
    // used (its message was shown).
    template <typename Result>
    std::optional<Gated<Result>>
    onCurrentHistory(const std::function<Gated<Result>(const SearchRequest&)>& run);
    // A refused run said: a misfit as the rebuild question, anything else as a message. True
    // when the history was rebuilt and the run may go again.
    bool answerRefusal(const QString& title, const SearchRefusal& refusal);
    void followDamage();
    // Stored values that do not fit the bases, said by why: offers the rebuild; true when the
    // history was rebuilt.
    bool offerRebuild(const QString& why);

    QString folder_;
    Dialogs* dialogs_;
    HistoryStore store_;
    // Opened before the panels are built, so that the page check runs meanwhile; startUp()
    // takes its verdict.
    QString openError_;
    bool opened_ =
        store_.open(folder_, &openError_, HistoryAccess::ReadWrite, PageCheckTiming::BesideReads);
    HistorySnapshot snapshot_; // what the searches read, kept between searches
    SettingsStore settings_;
    SearchSession session_;

    HistoryPanel* history_ = nullptr;
    SearchOptionsPanel* options_ = nullptr;
    ResultsPanel* results_ = nullptr;
    GridWheelScroller* wheel_ = nullptr;
    HistoryCommands* historyCommands_ = nullptr;
    ExportCommands* exportCommands_ = nullptr;
    ExportNotice* exportNotice_ = nullptr;

    QMenu* mnuLsgl = nullptr;
    // mnuErase, mnuClear, mnuDlzd, mnuEszhzd: what writing the history needs.
    QList<QAction*> maintenanceActions_;
    OnlineUpdateRunner* update_ = nullptr;
    SettingsMenu* settingsMenu_ = nullptr;
    WindowMemory* memory_ = nullptr;
    int progressDelayMs_ = 500;
    bool backtestRunning_ = false;
};

} // namespace quorvex
