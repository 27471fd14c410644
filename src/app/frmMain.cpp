#include "frmMain.h"

#include "app/common/SettingsMenu.h"

#include "app/common/Controls.h"
#include "app/common/ExportCommands.h"
#include "app/common/ExportNotice.h"
#include "app/common/GridWheelScroller.h"
#include "app/common/HelpMenu.h"
#include "app/common/HistoryFileWatch.h"
#include "app/common/HistoryStepKeys.h"
#include "app/common/WindowMemory.h"
#include "app/common/WorkProgress.h"
#include "app/history/HistoryCommands.h"

#include "presentation/BacktestGridTexts.h"
#include "session/UntilCurrent.h"

#include <QAction>
#include <QCursor>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTabWidget>
#include <QTimer>

namespace quorvex {

frmMain::frmMain(const QString& folder, Dialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), folder_(folder), dialogs_(dialogs),
      session_(store_, snapshot_, &settings_) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvex"));

    history_ = new HistoryPanel(store_, session_, dialogs_);
    options_ = new SearchOptionsPanel(session_, dialogs_);
    results_ = new ResultsPanel;
    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(history_);
    splitter->addWidget(options_);
    splitter->addWidget(results_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 0);
    splitter->setStretchFactor(2, 1);
    layout->addWidget(splitter);
    setCentralWidget(central);
    // As large as the design on a screen that has the room, else the screen's free area less
    // a title bar and frame (not known before the window is shown; the style's guess).
    const QSize design(1340, 700);
    QSize room = screen() ? screen()->availableGeometry().size() : design;
    const int frame = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    room -= QSize(2 * frame, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * frame);
    resize(design.boundedTo(room));

    wheel_ = new GridWheelScroller(this);
    for (QTableView* grid : {history_->grid(), results_->matchGrid(), results_->resultGrid(),
                             results_->backtestPanel()->grid()})
        wheel_->addGrid(grid);
    connect(wheel_, &GridWheelScroller::scrolled, this, [this](QTableView* grid) {
        if (grid == history_->grid())
            history_->stopFollowingNewest();
    });
    connect(history_, &HistoryPanel::historyChanged, this, &frmMain::refreshAfterHistoryChange);
    connect(history_->settingsButton(), &QPushButton::clicked, this,
            [this] { settingsMenu_->popUpAt(history_->settingsButton()); });
    connect(options_->followButton(), &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(options_->combinationButton(), &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(options_->backtestOptions()->button(), &QPushButton::clicked, this,
            &frmMain::runBacktest);

    historyCommands_ = new HistoryCommands(store_, session_, dialogs_, folder_, this);
    connect(historyCommands_, &HistoryCommands::commandDone, this, [this](bool changed) {
        if (changed)
            refreshAfterHistoryChange();
        followDamage();
        history_->focusFirstEntryBox();
    });
    connect(historyCommands_, &HistoryCommands::said, this,
            [this](const QString& text) { statusBar()->showMessage(text, 15000); });
    connect(history_, &HistoryPanel::writeFailed, this, &frmMain::followDamage);
    connect(history_->eraseButton(), &QPushButton::clicked, historyCommands_,
            &HistoryCommands::Command3_Click);
    update_ = new OnlineUpdateRunner(store_, session_, dialogs_, this);
    connect(history_->updateButton(), &QPushButton::clicked, update_,
            &OnlineUpdateRunner::Command21_Click);
    connect(update_, &OnlineUpdateRunner::historyChanged, this,
            &frmMain::refreshAfterHistoryChange);
    // Nothing else that changes the history may start while an update runs.
    connect(update_, &OnlineUpdateRunner::busyChanged, this, [this](bool busy) {
        setHistoryWritable(!busy && !store_.isReadOnly() && !store_.isDamaged());
    });
    exportCommands_ = new ExportCommands(store_, folder_, dialogs_, this);
    exportCommands_->watchGrids(history_->grid(), results_->matchGrid(), results_->matchModel(),
                                results_->resultGrid(), results_->resultModel());
    exportCommands_->watchBacktestGrid(results_->backtestPanel()->grid(),
                                       results_->backtestPanel()->model());
    TrendPanel* trend = results_->trendPanel();
    exportCommands_->watchTrendGrids(trend->grid(), trend->summaryGrid(),
                                     [trend] { return trend->shownTrend(); });
    connect(trend, &TrendPanel::wanted, this, &frmMain::showTrend);
    // The trend's values take the room of the search options while its page is shown: the page
    // has choices of its own.
    connect(results_->pages(), &QTabWidget::currentChanged, this,
            [this, trend] { options_->setVisible(results_->pages()->currentWidget() != trend); });
    // The search's range is the trend's when chosen.
    connect(&session_, &SearchSession::startIssueChanged, trend, &TrendPanel::markStale);
    connect(&session_, &SearchSession::endIssueChanged, trend, &TrendPanel::markStale);
    exportCommands_->watchChart(results_->chartView(), QStringLiteral("chart"),
                                QStringLiteral("结果分布"));
    exportCommands_->watchChart(results_->backtestPanel()->chartView(),
                                QStringLiteral("backtestChart"), QStringLiteral("回测曲线"));
    connect(history_->exportTextButton(), &QPushButton::clicked, exportCommands_,
            &ExportCommands::Command4_Click);
    exportNotice_ = new ExportNotice(statusBar(), dialogs_);
    connect(exportCommands_, &ExportCommands::saved, exportNotice_, &ExportNotice::show);
    connect(exportCommands_, &ExportCommands::notOpened, exportNotice_,
            &ExportNotice::showUnopened);

    memory_ = new WindowMemory(this, options_, results_);

    buildMenus();
    startUp();
    // Another program's writes are shown once they are seen, or when the window is active again.
    connect(new HistoryFileWatch(this, store_.isOpen() ? store_.databasePath() : QString()),
            &HistoryFileWatch::checkWanted, this, &frmMain::followOutsideChanges);
}

frmMain::~frmMain() {
    // Hidden while every part still lives: the box that had the focus is left (and stores its
    // choice) before the session behind the panels goes.
    hide();
    // The objects that watch the grids' events go first: a grid being destroyed must not call
    // back into them.
    delete wheel_;
    delete historyCommands_;
    delete exportCommands_;
}

void frmMain::buildMenus() {
    // Two entries share &E: pressing E moves between them, Enter runs the one marked.
    mnuLsgl = menuBar()->addMenu(QStringLiteral("历史管理"));
    mnuLsgl->setObjectName(QStringLiteral("mnuLsgl"));
    auto add = [this](const char* name, const QString& caption, auto receiver, auto handler) {
        QAction* a = mnuLsgl->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, receiver, handler);
        return a;
    };
    add("mnuDcls", QStringLiteral("导出历史号码(&O)"), exportCommands_,
        &ExportCommands::mnuDcls_Click);
    HistoryCommands* h = historyCommands_;
    maintenanceActions_ = {
        add("mnuErase", QStringLiteral("删除最后历史(&E)"), h, &HistoryCommands::Command3_Click),
        add("mnuClear", QStringLiteral("清空历史号码(&C)"), h, &HistoryCommands::mnuClear_Click),
        add("mnuDlzd", QStringLiteral("删除到选定期(&D)"), h, &HistoryCommands::mnuDlzd_Click),
        add("mnuEszhzd", QStringLiteral("删除最后指定数量期历史(&E)"), h,
            &HistoryCommands::mnuEszhzd_Click)};
    mnuLsgl->addSeparator();
    QAction* undo = add("mnuUndo", QString(), h, &HistoryCommands::mnuUndo_Click);
    QAction* redo = add("mnuRedo", QString(), h, &HistoryCommands::mnuRedo_Click);
    // Anywhere in the window: no text box keeps these keys for its own typing.
    undo->setShortcut(QKeySequence::Undo);
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    new HistoryStepKeys(this);
    historyCommands_->setStepActions(undo, redo);
    connect(mnuLsgl, &QMenu::aboutToShow, historyCommands_, &HistoryCommands::refreshStepActions);
    maintenanceActions_ << add("mnuRebuild", QStringLiteral("按当前参数重算历史号码(&R)"), h,
                               &HistoryCommands::mnuRebuild_Click);
    historyCommands_->popUpMenuOn(history_->grid(), mnuLsgl);

    settingsMenu_ =
        new SettingsMenu(menuBar(), session_, dialogs_, historyCommands_, update_, this);
    new HelpMenu(menuBar(), dialogs_, folder_, settings_.fileName(), this);
}

// ---------------------------------------------------------------------------------------------
// Start-up

void frmMain::startUp() {
    QStringList problems = session_.loadSettings();
    memory_->restore(&problems);
    if (!problems.isEmpty())
        dialogs_->warning(QStringLiteral("设置"),
                          QStringLiteral("设置存储中有无法识别的值，已改用默认值：\n%1\n文件：%2")
                              .arg(problems.join(QLatin1Char('\n')), settings_.fileName()));
    // The pages are checked while the window is built and read for its first frame. A file that
    // fails the check is then refused as at its opening, and read again as the store then stands.
    QString error = openError_;
    QStringList readErrors;
    // The history is read once: the span and the reference draw by the session, the numbers
    // by the grid.
    auto readHistory = [&] {
        readErrors.clear();
        QString why;
        if (!session_.historyChanged(&why))
            readErrors << QStringLiteral("无法读取历史号码：%1").arg(why);
        session_.zodiacYear().setFromIssue(session_.lngNextIssue());
        options_->showOptions();
        if (!history_->AddHaoma(&why))
            readErrors << why;
    };
    if (opened_)
        readHistory();
    if (!opened_ || !store_.finishPageCheck(&error)) {
        const HistoryOpenFailure failure = store_.openFailure();
        QString readError;
        // A history the user may read but not write is still shown; only writing is refused.
        if ((failure == HistoryOpenFailure::ReadOnlyFile ||
             failure == HistoryOpenFailure::ReadOnlyFolder ||
             failure == HistoryOpenFailure::Link) &&
            store_.open(folder_, &readError, HistoryAccess::ReadOnly)) {
            dialogs_->warning(QStringLiteral("历史数据库"),
                              error + QStringLiteral("\n历史号码以只读方式打开：可以查看和检索，"
                                                     "不能输入、读入或删除。"));
        } else {
            dialogs_->warning(QStringLiteral("历史数据库"),
                              error + QStringLiteral("\n没有写入任何内容。程序将以空的历史运行，"
                                                     "需要数据库的功能不可用。"));
            options_->setSearchEnabled(false);
        }
        setHistoryWritable(false);
        readHistory();
    }
    settingsMenu_->showBases();
    for (const QString& why : readErrors)
        dialogs_->warning(QStringLiteral("历史数据库"), why);
    historyCommands_->refreshStepActions();
    // Typing the newest draw is the most frequent task: the window opens in its first box.
    history_->focusFirstEntryBox();
    // Once the window is up, and beside it: reading every draw to check it should hold back
    // neither the first frame nor the keys typed after it.
    QTimer::singleShot(250, this, [this] {
        if (store_.isOpen() && !session_.isEmpty())
            session_.checkFitBeside();
    });
    connect(&session_, &SearchSession::fitNoted, this, [this](const QString& note) {
        if (store_.isOpen())
            offerRebuild(note);
    });
}

bool frmMain::offerRebuild(const QString& why) {
    return !why.isEmpty() && historyCommands_->offerRebuild(QStringLiteral("重算历史号码"), why,
                                                            session_.valueBases(), false);
}

void frmMain::setHistoryWritable(bool writable) {
    history_->setWritable(writable);
    for (QAction* a : maintenanceActions_)
        a->setEnabled(writable);
    historyCommands_->setWritable(writable);
}

void frmMain::refreshAfterHistoryChange() {
    history_->AddHaoma();
    historyCommands_->refreshStepActions();
    QString error;
    if (!session_.historyChanged(&error))
        dialogs_->warning(QStringLiteral("历史数据库"),
                          QStringLiteral("无法读取历史号码：%1").arg(error));
    // After the session has taken the change: the trend shown is worked out again on it.
    results_->markHistoryChanged();
}

void frmMain::showTrend() {
    TrendPanel* page = results_->trendPanel();
    const auto outcome = untilCurrent([&]() -> std::optional<Gated<TrendFigures>> {
        followOutsideChanges();
        return session_.runTrend(page->kind(),
                                 page->range(session_.startIssue(), session_.endIssue()));
    });
    // Said on the page: it is worked out whenever the page comes into view.
    if (*outcome)
        page->showTrend(std::move(**outcome));
    else
        page->showRefusal(outcome->refusal().text);
}

// ---------------------------------------------------------------------------------------------
// Searches

template <typename Result>
std::optional<Gated<Result>>
frmMain::onCurrentHistory(const std::function<Gated<Result>(const SearchRequest&)>& run) {
    return untilCurrent([&]() -> std::optional<Gated<Result>> {
        // A history written meanwhile is shown first, so the run answers on it.
        followOutsideChanges();
        const auto request = options_->searchRequest();
        if (!request)
            return std::nullopt;
        return run(*request);
    });
}

bool frmMain::answerRefusal(const QString& title, const SearchRefusal& refusal) {
    if (refusal.kind == SearchRefusal::Kind::Misfit) {
        if (offerRebuild(refusal.text))
            return true;
        // Declined (not writable: already said), the run says why it did not run.
        if (!store_.isReadOnly() && !store_.isDamaged())
            dialogs_->warning(title, refusal.text +
                                         QStringLiteral("没有%1；可以用 历史管理 → 按当前参数重算"
                                                        "历史号码 重算（会先保存一份副本）。")
                                             .arg(title));
        return false;
    }
    dialogs_->warning(title, refusal.text);
    followDamage();
    return false;
}

void frmMain::runSearch(const QString& title, SearchRun run, bool combination) {
    BusyCursor busy;
    SearchRequest used;
    const auto outcome = onCurrentHistory<FollowResult>([&](const SearchRequest& request) {
        used = request;
        return (session_.*run)(request);
    });
    busy.release();
    if (!outcome)
        return;
    if (!*outcome) {
        // After a rebuild of values of another base the search runs again.
        if (answerRefusal(title, outcome->refusal()))
            runSearch(title, run, combination);
        return;
    }
    const Settings& s = session_.settings();
    results_->ShowFollowResults(
        **outcome,
        searchCaption(used, combination ? s.intZhWSetup : 0, session_.referenceOrigin(), **outcome),
        s.intXianshiLei);
}

void frmMain::Command1_Click() {
    runSearch(QStringLiteral("检索"), &SearchSession::runFollow, false);
}

void frmMain::Command2_Click() {
    runSearch(QStringLiteral("组合检索"), &SearchSession::runCombination, true);
}

void frmMain::runBacktest() {
    const QString title = QStringLiteral("回测");
    const BacktestOptions* options = options_->backtestOptions();
    const bool combination = options->combination();
    const int topK = options->topK();
    SearchSession::BacktestRange range;
    range.lastIssues = options->issues();
    std::optional<Gated<BacktestResult>> outcome;
    SearchRequest used;
    {
        BusyCursor busy;
        WorkProgress progress(this, title, QStringLiteral("正在逐期回测……"), progressDelayMs_);
        outcome = onCurrentHistory<BacktestResult>([&](const SearchRequest& request) {
            // The progress dialog lets the window's events in: the history is not read
            // again under the backtest's feet.
            const QScopedValueRollback running(backtestRunning_, true);
            used = request;
            return session_.runBacktest(request, combination, range, topK,
                                        [&progress](qsizetype done, qsizetype total) {
                                            return progress.report(done, total);
                                        });
        });
    }
    if (!outcome)
        return;
    if (outcome->refusedAs(SearchRefusal::Kind::Cancelled)) {
        // The results shown are the earlier ones: said, lest they pass for this run's.
        statusBar()->showMessage(QStringLiteral("回测已取消"), 15000);
        followOutsideChanges();
        return;
    }
    if (!*outcome) {
        if (answerRefusal(title, outcome->refusal()))
            runBacktest();
        return;
    }
    const Settings& s = session_.settings();
    results_->showBacktest(**outcome,
                           backtestCaption(used, combination ? s.intZhWSetup : 0, topK, **outcome),
                           s.intXianshiLei, s.SxIni);
    // A history written while the backtest ran: its results are marked as of the one before.
    followOutsideChanges();
}

void frmMain::followDamage() {
    // Damage seen by any command: nothing may be written any more (its message said so).
    if (!store_.isDamaged())
        return;
    setHistoryWritable(false);
    options_->setSearchEnabled(false);
}

void frmMain::closeEvent(QCloseEvent* event) {
    memory_->saveGeometry();
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Other programs

void frmMain::followOutsideChanges() {
    // While the update runs, it refreshes the window itself when it is done; a backtest
    // refreshes it once it has shown its results.
    if (update_->isRunning() || backtestRunning_ || !session_.historyMovedOn())
        return;
    refreshAfterHistoryChange();
    followDamage();
}

} // namespace quorvex
