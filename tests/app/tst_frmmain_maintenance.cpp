#include "AppTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

using namespace quorvex;
using namespace quorvex::test;

// The 历史管理 commands through the window: what they keep, what the window shows afterwards,
// how the menu is reached with the mouse and from the keyboard.
class FrmMainMaintenanceTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void deleteCommandsKeepTheRightDraws_data();
    void deleteCommandsKeepTheRightDraws();
    void eraseLastDrawFromButtonAndMenu_data();
    void eraseLastDrawFromButtonAndMenu();
    void eraseOnEmptyHistoryChangesNothing();
    void clearAsksFirst_data();
    void clearAsksFirst();
    void baseChangeRebuildsWhenAgreed_data();
    void baseChangeRebuildsWhenAgreed();
    void ctrlZAndCtrlYWalkTheSteps();
    void stepKeysStoreNoUntypedDraw_data();
    void stepKeysStoreNoUntypedDraw();
    void storedValuesOfAnotherBaseAreOffered();
    void referenceDrawFollowsPreQi();
    void rightReleaseOnHistoryGridPopsUpMenu_data();
    void rightReleaseOnHistoryGridPopsUpMenu();
    void deleteToOffersTheSelectedRow_data();
    void deleteToOffersTheSelectedRow();
    void sharedAccessKeyInMenuCycles_data();
    void sharedAccessKeyInMenuCycles();
    void historyMenuReachedFromMenuBar();
    void sharedAccessKeyOnButtonsReachesBoth_data();
    void sharedAccessKeyOnButtonsReachesBoth();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

constexpr int kDraws = 100;
const QString kDropPrompt =
    QStringLiteral("请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）");

QTableView* historyGrid(frmMain& w) {
    return child<QTableView>(w, "MSFlexGrid1");
}

QVector<qint64> gridIssues(frmMain& w) {
    QVector<qint64> issues;
    for (int r = 0; r < historyGrid(w)->model()->rowCount(); ++r)
        issues << cell(historyGrid(w), r, 0).toLongLong();
    return issues;
}

QVector<qint64> issueRange(qint64 first, qint64 last) {
    QVector<qint64> issues;
    for (qint64 i = first; i <= last; ++i)
        issues << i;
    return issues;
}

qint64 emptyHistoryNextIssue() {
    return qint64(QDate::currentDate().year()) * 1000 + 1;
}

// The window after a change: the grid, Text1, Text3(1), Text4 and the reference values all
// follow the history that is left, whose draws are the first `kept` of sampleDraws.
void verifyShowsHistoryOf(frmMain& w, int kept) {
    const QVector<Numbers> draws = sampleDraws(kDraws);
    QCOMPARE(gridIssues(w), issueRange(2013001, 2013000 + kept));
    if (kept == 0) {
        QCOMPARE(text(w, "Text1"), QString::number(emptyHistoryNextIssue()));
        // No range is left to search: the boxes do not go on showing the old one.
        QCOMPARE(text(w, "Text3_0"), QString());
        QCOMPARE(text(w, "Text3_1"), QString());
        // No reference draw is left (the session keeps the last values; no search runs).
        QCOMPARE(w.session().referenceIssue(), std::nullopt);
        return;
    }
    const qint64 last = 2013000 + kept;
    QCOMPARE(text(w, "Text1"), QString::number(last + 1));
    QCOMPARE(text(w, "Text3_1"), QString::number(last));
    QCOMPARE(text(w, "Text4"), QString::number(last));
    const Numbers& lastNumbers = draws[kept - 1];
    for (int i = 0; i < kPositions; ++i) {
        QCOMPARE(w.session().intRefVal()[i], lastNumbers[i]);
        QCOMPARE(text(w, QString("Text2_%1").arg(i + 1)), QString::number(lastNumbers[i]));
    }
}

} // namespace

void FrmMainMaintenanceTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainMaintenanceTest::deleteCommandsKeepTheRightDraws_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<int>("kept");
    QTest::addColumn<int>("messages");
    using A = std::optional<QString>;
    QTest::newRow("drop last 3") << "mnuEszhzd" << A("3") << 97 << 1;
    QTest::newRow("drop last 100") << "mnuEszhzd" << A("100") << 0 << 1;
    QTest::newRow("keep to the offered last issue") << "mnuDlzd" << A("2013100") << 100 << 1;
    QTest::newRow("keep to 2013050") << "mnuDlzd" << A(" 2013050 ") << 50 << 1;
    QTest::newRow("keep to below the first") << "mnuDlzd" << A("2012999") << 0 << 1;
    // Answers that change nothing: cancelled and empty say nothing, the rest say it once.
    QTest::newRow("keep: cancelled") << "mnuDlzd" << A() << 100 << 0;
    QTest::newRow("keep: empty") << "mnuDlzd" << A("  ") << 100 << 0;
    QTest::newRow("keep: 0") << "mnuDlzd" << A("0") << 100 << 1;
    QTest::newRow("keep: negative") << "mnuDlzd" << A("-2013050") << 100 << 1;
    QTest::newRow("keep: not a number") << "mnuDlzd" << A("2013O50") << 100 << 1;
    QTest::newRow("drop: cancelled") << "mnuEszhzd" << A() << 100 << 0;
    QTest::newRow("drop: empty") << "mnuEszhzd" << A("") << 100 << 0;
    QTest::newRow("drop: 0") << "mnuEszhzd" << A("0") << 100 << 1;
    QTest::newRow("drop: negative") << "mnuEszhzd" << A("-3") << 100 << 1;
    QTest::newRow("drop: fraction") << "mnuEszhzd" << A("1.5") << 100 << 1;
}

void FrmMainMaintenanceTest::deleteCommandsKeepTheRightDraws() {
    QFETCH(QString, command);
    QFETCH(std::optional<QString>, answer);
    QFETCH(int, kept);
    QFETCH(int, messages);
    WindowFixture f(2013001, sampleDraws(kDraws), Shown::Active);
    auto& [h, dialogs, w] = f;
    child<QLineEdit>(w, "Text3_0")->setFocus();
    dialogs.answerInput(answer);
    child<QAction>(w, command)->trigger();

    QCOMPARE(dialogs.count("input"), 1);
    const auto& asked = dialogs.asked().first();
    QCOMPARE(asked.title, QStringLiteral("删除期数"));
    // The offered defaults: the last issue (keeps everything), and one draw.
    if (command == "mnuEszhzd")
        QCOMPARE(asked.text, kDropPrompt + "|1");
    else
        QVERIFY2(asked.text.endsWith("|2013100"), qPrintable(asked.text));
    QCOMPARE(dialogs.messages(), messages);
    QCOMPARE(dialogs.count("warning"), 0);
    verifyShowsHistoryOf(w, kept);
    // The kept draws are stored with their numbers as before.
    const QVector<Numbers> draws = sampleDraws(kDraws);
    for (int k : {0, kept / 2, kept - 1})
        if (k >= 0 && k < kept)
            QCOMPARE(h.integer(2013001 + k, "L3A"), draws[k][2]);
    if (kept < kDraws)
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "MaskEdBox1_1"));
    QVERIFY(!QApplication::overrideCursor());
}

void FrmMainMaintenanceTest::eraseLastDrawFromButtonAndMenu_data() {
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("Command3") << false;
    QTest::newRow("mnuErase") << true;
}

void FrmMainMaintenanceTest::eraseLastDrawFromButtonAndMenu() {
    QFETCH(bool, fromMenu);
    WindowFixture f(2013001, sampleDraws(kDraws), Shown::Active);
    auto& [h, dialogs, w] = f;
    auto* button = child<QPushButton>(w, "Command3");
    QVERIFY(button->isEnabled());
    for (int times = 1; times <= 2; ++times) {
        child<QLineEdit>(w, "Text3_0")->setFocus();
        if (fromMenu)
            child<QAction>(w, "mnuErase")->trigger();
        else
            button->click();
        // No confirmation; what went is said.
        QCOMPARE(dialogs.count("question"), 0);
        QCOMPARE(dialogs.count("information"), times);
        QVERIFY(dialogs.asked().last().text.contains(QString::number(2013101 - times)));
        verifyShowsHistoryOf(w, kDraws - times);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "MaskEdBox1_1"));
    }
}

void FrmMainMaintenanceTest::eraseOnEmptyHistoryChangesNothing() {
    QTemporaryDir folder;
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    child<QPushButton>(w, "Command3")->click();
    QCOMPARE(dialogs.count("warning"), 0);
    QCOMPARE(dialogs.count("information"), 1);
    verifyShowsHistoryOf(w, 0);
}

void FrmMainMaintenanceTest::clearAsksFirst_data() {
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("cancelled") << false;
    QTest::newRow("confirmed") << true;
}

void FrmMainMaintenanceTest::clearAsksFirst() {
    QFETCH(bool, confirmed);
    WindowFixture f(2013001, sampleDraws(kDraws));
    auto& [h, dialogs, w] = f;
    dialogs.answerQuestion(confirmed);
    child<QAction>(w, "mnuClear")->trigger();
    QCOMPARE(dialogs.count("question"), 1);
    QCOMPARE(dialogs.asked().first().title, QStringLiteral("确认清空"));
    // The question says that the draws are not lost for good.
    const QString question = dialogs.asked().first().text;
    QVERIFY2(question.startsWith(QStringLiteral("确定要清空所有的历史号码吗？")) &&
                 question.contains(QStringLiteral("先保存一份历史号码的副本")) &&
                 question.contains(QStringLiteral("历史管理 → 撤销")) &&
                 question.contains("Ctrl+Z"),
             qPrintable(question));
    QCOMPARE(dialogs.messages(), confirmed ? 1 : 0);
    // After a clear the issue boxes show the next issue of the empty history.
    verifyShowsHistoryOf(w, confirmed ? 0 : kDraws);
    QCOMPARE(h.store().drawCount(), confirmed ? 0 : kDraws);
}

void FrmMainMaintenanceTest::baseChangeRebuildsWhenAgreed_data() {
    QTest::addColumn<bool>("agreed");
    QTest::newRow("yes: rebuilt, then stored") << true;
    QTest::newRow("no: nothing changes") << false;
}

// A new segment base derives the stored draws afresh when the user agrees, and only then is
// the setting changed; later rebuilds (dropping the last issues) keep to it.
void FrmMainMaintenanceTest::baseChangeRebuildsWhenAgreed() {
    QFETCH(bool, agreed);
    const QVector<Numbers> draws = sampleDraws(20);
    WindowFixture f(2013001, draws);
    auto& [h, dialogs, w] = f;
    QCOMPARE(h.integer(2013005, "L1H"), (draws[4][0] - 1) / 3 + 1);
    dialogs.answerQuestion(agreed);
    child<QAction>(w, "mnuDscs_0")->trigger(); // segment values 0..2
    QCOMPARE(w.session().settings().DsIni, agreed ? 0 : 1);
    QCOMPARE(child<QAction>(w, "mnuDscs_0")->isChecked(), agreed);
    QCOMPARE(h.integer(2013005, "L1H"), (draws[4][0] - 1) / 3 + (agreed ? 0 : 1));
    dialogs.answerInput(QStringLiteral("2"));
    child<QAction>(w, "mnuEszhzd")->trigger();
    QCOMPARE(h.store().drawCount(), 18);
    for (int k = 0; k < 18; ++k)
        QCOMPARE(h.integer(2013001 + k, "L1H"), (draws[k][0] - 1) / 3 + (agreed ? 0 : 1));
}

// Alt+D, two typed draws and a clear: Ctrl+Z takes them back newest first and Ctrl+Y and
// Ctrl+Shift+Z make them again, pressed from any control of the window (a text box keeps no
// undo of its own); the entries are named after their steps, and each step is said in the status
// bar, not in a dialog.
void FrmMainMaintenanceTest::ctrlZAndCtrlYWalkTheSteps() {
    WindowFixture f(2013001, sampleDraws(kDraws), Shown::Active);
    auto& [h, dialogs, w] = f;
    auto* undo = child<QAction>(w, "mnuUndo");
    auto* redo = child<QAction>(w, "mnuRedo");
    QVERIFY(!undo->isEnabled() && !redo->isEnabled());
    QVector<TableRows> states{tableRows(h.store())};
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(h.store().drawCount(), kDraws - 1);
    states << tableRows(h.store());
    for (const QString& first : {QStringLiteral("01"), QStringLiteral("09")}) {
        for (int i = 1; i <= 5; ++i)
            QTest::keyClicks(child<QLineEdit>(w, QStringLiteral("MaskEdBox1_%1").arg(i)),
                             i == 1 ? first : QStringLiteral("%1").arg(i + 1, 2, 10, QChar('0')));
        QTRY_COMPARE(h.store().drawCount(), kDraws - 1 + states.size() - 1);
        states << tableRows(h.store());
    }
    dialogs.answerQuestion(true);
    child<QAction>(w, "mnuClear")->trigger();
    QCOMPARE(h.store().drawCount(), 0);
    states << tableRows(h.store());
    QCOMPARE(undo->text(), QStringLiteral("撤销：清空(&U)"));
    dialogs.clear();
    // Typed into, the find box would take Ctrl+Z back from its own typing.
    QTest::keyClicks(child<QLineEdit>(w, "findIssue"), "9");

    // Each key pressed where the focus is after focusing the next of these.
    const QList<QWidget*> controls{historyGrid(w),
                                   child<QLineEdit>(w, "MaskEdBox1_1"),
                                   child<QLineEdit>(w, "Text3_0"),
                                   child<QLineEdit>(w, "findIssue"),
                                   child<QLineEdit>(w, "MaskEdBox2"),
                                   child<QComboBox>(w, "Combo1"),
                                   child<QWidget>(w, "backtestIssues"),
                                   child<QPushButton>(w, "Command1")};
    qsizetype pressed = 0;
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QWidget* control = controls[pressed++ % controls.size()];
        control->setFocus();
        QTRY_VERIFY(control->hasFocus() || control->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    const QStringList names{QStringLiteral("删除最后一期"), QStringLiteral("输入第 2013100 期"),
                            QStringLiteral("输入第 2013101 期"), QStringLiteral("清空")};
    for (qsizetype k = states.size() - 1; k > 0; --k) {
        QCOMPARE(undo->text(), QStringLiteral("撤销：%1(&U)").arg(names[k - 1]));
        press(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY2(tableRows(h.store()) == states[k - 1], qPrintable(names[k - 1]));
        QVERIFY2(w.statusBar()->currentMessage().startsWith(
                     QStringLiteral("已撤销“%1”").arg(names[k - 1])),
                 qPrintable(w.statusBar()->currentMessage()));
        QCOMPARE(historyGrid(w)->model()->rowCount(), states[k - 1].size());
        // The range boxes follow the history back, out of the clear too.
        const int rows = historyGrid(w)->model()->rowCount();
        QCOMPARE(text(w, "Text3_1"), rows ? cell(historyGrid(w), rows - 1, 0) : QString());
    }
    QVERIFY(!undo->isEnabled());
    // With no step left the key does nothing, in a box as anywhere.
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(tableRows(h.store()), states.first());
    for (qsizetype k = 1; k < states.size(); ++k) {
        QCOMPARE(redo->text(), QStringLiteral("重做：%1(&Y)").arg(names[k - 1]));
        press(k % 2 ? Qt::Key_Y : Qt::Key_Z,
              k % 2 ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY2(tableRows(h.store()) == states[k], qPrintable(names[k - 1]));
    }
    QVERIFY(!redo->isEnabled());
    QCOMPARE(text(w, "Text3_1"), QString()); // cleared again
    QCOMPARE(dialogs.asked().size(), 0);
    QCOMPARE(text(w, "findIssue"), QStringLiteral("9"));
}

void FrmMainMaintenanceTest::stepKeysStoreNoUntypedDraw_data() {
    QTest::addColumn<QString>("before"); // what was done before the keys
    QTest::newRow("a typed draw") << "typed";
    QTest::newRow("undo from the menu") << "menu undo";
    QTest::newRow("Alt+D") << "alt d";
}

// Whatever the entry boxes held before, Ctrl+Z pressed in them only walks back through the steps
// and Ctrl+Y forward again: no draw is stored that was not typed as that draw, and the steps to
// redo survive.
void FrmMainMaintenanceTest::stepKeysStoreNoUntypedDraw() {
    QFETCH(QString, before);
    WindowFixture f(2013001, sampleDraws(20), Shown::Active);
    auto& [h, dialogs, w] = f;
    QVector<TableRows> states{tableRows(h.store())};
    auto type = [&](const QString& digits) {
        // Key by key where the focus is, as the boxes hand it on.
        for (const QChar digit : digits)
            QTest::keyClick(QApplication::focusWidget(), digit.toLatin1());
        QTRY_COMPARE(tableRows(h.store()).size(), states.last().size() + 1);
        states << tableRows(h.store());
    };
    type("1113020514");
    if (before != "typed")
        type("0306091215");
    if (before == "menu undo") {
        child<QAction>(w, "mnuUndo")->trigger();
        states.removeLast(); // to be made again
    } else if (before == "alt d") {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(tableRows(h.store()).size(), states.last().size() - 1);
        states << tableRows(h.store());
    }
    auto* box = child<QLineEdit>(w, "MaskEdBox1_1");
    QTRY_COMPARE(QApplication::focusWidget(), box);
    for (int press = 0; press < 6; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY2(states.contains(tableRows(h.store())), qPrintable(QString::number(press)));
    }
    QCOMPARE(tableRows(h.store()), states.first());
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(text(w, QStringLiteral("MaskEdBox1_%1").arg(i)), QString());
    QCOMPARE(dialogs.count("question"), 0);
    // Every step made since the start is made again, in order, and nothing else.
    for (qsizetype k = 1; k < states.size(); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(tableRows(h.store()), states[k]);
    }
    if (before == "menu undo") {
        // The draw the menu took back comes back as typed.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(h.store().lastDraw()->attributes.numbers(), (Numbers{3, 6, 9, 12, 15}));
    }
    QVERIFY(!child<QAction>(w, "mnuRedo")->isEnabled());
}

// A history stored under the other zodiac base: the start offers the rebuild; refused, a zodiac
// search is refused again with the offer; accepted, the search runs on the rebuilt history.
void FrmMainMaintenanceTest::storedValuesOfAnotherBaseAreOffered() {
    TempHistory h;
    h.appendMany(2013101, sampleDraws(60), {0, 1});
    WindowOn f(h.folder());
    auto& [dialogs, w] = f;
    QTRY_COMPARE(dialogs.count("question"), 1);
    QVERIFY(dialogs.asked().first().text.contains(QStringLiteral("重算")));
    child<QRadioButton>(w, "Option3_1")->click(); // search by zodiac
    dialogs.clear();
    child<QPushButton>(w, "Command1")->click();
    QCOMPARE(dialogs.count("question"), 1);
    QCOMPARE(dialogs.count("warning"), 1);
    QCOMPARE(child<QTableView>(w, "MSFlexGrid2")->model()->rowCount(), 0);
    dialogs.clear();
    dialogs.answerQuestion(true);
    child<QPushButton>(w, "Command1")->click();
    QCOMPARE(dialogs.count("warning"), 0);
    QCOMPARE(h.integer(2013101, "L1B"), 1 + ZodiacYear(2013).zodiacOf(sampleDraws(1)[0][0]));
    QVERIFY(child<QTableView>(w, "MSFlexGrid3")->model()->rowCount() > 0);
}

void FrmMainMaintenanceTest::referenceDrawFollowsPreQi() {
    WindowFixture f(2013001, sampleDraws(kDraws));
    auto& [h, dialogs, w] = f;
    child<QRadioButton>(w, "Option1_2")->click(); // the N-th draw from the end, N = 2
    dialogs.answerInput(QStringLiteral("3"));
    child<QAction>(w, "mnuEszhzd")->trigger();
    QCOMPARE(w.session().referenceIssue(), std::optional<qint64>(2013096));
    QCOMPARE(w.session().intRefVal(), RefValues(sampleDraws(kDraws)[95]));
    child<QPushButton>(w, "Command3")->click();
    QCOMPARE(w.session().referenceIssue(), std::optional<qint64>(2013095));
}

void FrmMainMaintenanceTest::rightReleaseOnHistoryGridPopsUpMenu_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("pops");
    QTest::newRow("right") << int(Qt::RightButton) << true;
    QTest::newRow("left") << int(Qt::LeftButton) << false;
    QTest::newRow("middle") << int(Qt::MiddleButton) << false;
}

void FrmMainMaintenanceTest::rightReleaseOnHistoryGridPopsUpMenu() {
    QFETCH(int, button);
    QFETCH(bool, pops);
    WindowFixture f(2013001, sampleDraws(10), Shown::Active);
    auto& [h, dialogs, w] = f;
    QWidget* viewport = historyGrid(w)->viewport();
    const QPoint at(30, 12);
    QTest::mousePress(viewport, Qt::MouseButton(button), {}, at);
    auto* menu = child<QMenu>(w, "mnuLsgl");
    QVERIFY(!menu->isVisible()); // on the release, not the press
    QTest::mouseRelease(viewport, Qt::MouseButton(button), {}, at);
    if (!pops) {
        QTest::qWait(50);
        QVERIFY(!menu->isVisible());
        return;
    }
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), viewport->mapToGlobal(at));
    menu->close();
    QCOMPARE(dialogs.asked().size(), 0);
}

void FrmMainMaintenanceTest::deleteToOffersTheSelectedRow_data() {
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("offered");
    QTest::newRow("right click on a row") << "row 3"
                                          << "2013004";
    QTest::newRow("right click below the rows") << "below"
                                                << "2013010";
    QTest::newRow("Menu key on the current row") << "key"
                                                 << "2013006";
    QTest::newRow("menu bar after a row's menu closed unused") << "bar after menu"
                                                               << "2013004";
    QTest::newRow("menu bar after a click on a row") << "bar after click"
                                                     << "2013008";
    QTest::newRow("menu bar after moving with the keys") << "bar after keys"
                                                         << "2013003";
    QTest::newRow("menu bar after Ctrl+F") << "bar after find 005"
                                           << "2013005";
    // A find that misses leaves the row chosen before it.
    QTest::newRow("menu bar after a find of no issue") << "bar after find 2030001"
                                                       << "2013008";
    QTest::newRow("menu bar, nothing selected") << "bar"
                                                << "2013010";
}

void FrmMainMaintenanceTest::deleteToOffersTheSelectedRow() {
    QFETCH(QString, opened);
    QFETCH(QString, offered);
    WindowFixture f(2013001, sampleDraws(10), Shown::Active);
    auto& [h, dialogs, w] = f;
    QTableView* grid = historyGrid(w);
    auto* menu = child<QMenu>(w, "mnuLsgl");
    auto rightClick = [&](const QPoint& at) {
        QTest::mousePress(grid->viewport(), Qt::RightButton, {}, at);
        QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, at);
    };
    auto rowCentre = [&](int row) {
        return grid->visualRect(grid->model()->index(row, 2)).center();
    };
    if (opened == "row 3") {
        rightClick(rowCentre(3));
    } else if (opened == "below") {
        rightClick(QPoint(30, grid->viewport()->height() - 3));
    } else if (opened == "key") {
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(5, 1));
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QCoreApplication::sendEvent(grid, &key);
    } else if (opened == "bar after menu") {
        rightClick(rowCentre(3));
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        QApplication::processEvents();
    } else if (opened == "bar after click") {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(7));
    } else if (opened == "bar after keys") {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(0));
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Down);
    } else if (opened.startsWith("bar after find ")) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(7));
        QTest::keySequence(&w, QKeySequence::Find);
        QTest::keyClicks(QApplication::focusWidget(), opened.section(' ', -1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    if (opened.startsWith("bar")) {
        child<QAction>(w, "mnuDlzd")->trigger();
    } else {
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_D);
    }
    QTRY_COMPARE(dialogs.count("input"), 1);
    const QString asked = dialogs.asked().last().text;
    QVERIFY2(asked.endsWith("|" + offered), qPrintable(asked));
    QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 10); // cancelled
}

void FrmMainMaintenanceTest::sharedAccessKeyInMenuCycles_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("marked");
    QTest::addColumn<QString>("asked");
    // E is shared: each press marks the next of the two, Enter runs the marked one.
    QTest::newRow("E") << "E"
                       << "mnuErase"
                       << "information";
    QTest::newRow("E E") << "EE"
                         << "mnuEszhzd"
                         << "input";
    QTest::newRow("E E E") << "EEE"
                           << "mnuErase"
                           << "information";
    // Keys of one entry run it at once.
    QTest::newRow("C") << "C"
                       << ""
                       << "question";
    QTest::newRow("D") << "D"
                       << ""
                       << "input";
}

void FrmMainMaintenanceTest::sharedAccessKeyInMenuCycles() {
    QFETCH(QString, keys);
    QFETCH(QString, marked);
    QFETCH(QString, asked);
    WindowFixture f(2013001, sampleDraws(10), Shown::Active);
    auto& [h, dialogs, w] = f;
    // The Menu key on the history grid opens the menu without the mouse.
    QTableView* grid = historyGrid(w);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(9, 0));
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5),
                              grid->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(grid, &menuKey);
    auto* menu = child<QMenu>(w, "mnuLsgl");
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(menu->geometry().intersects(QRect(grid->mapToGlobal(QPoint(0, 0)), grid->size())));

    for (QChar key : keys)
        QTest::keyClick(menu, key.toLatin1());
    if (!marked.isEmpty()) {
        QVERIFY(menu->isVisible());
        QCOMPARE(dialogs.asked().size(), 0);
        QCOMPARE(menu->activeAction()->objectName(), marked);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    QTRY_VERIFY(!menu->isVisible());
    QTRY_COMPARE(dialogs.asked().size(), 1);
    QCOMPARE(dialogs.asked().first().kind, asked);
}

void FrmMainMaintenanceTest::historyMenuReachedFromMenuBar() {
    WindowFixture f(2013001, sampleDraws(10), Shown::Active);
    auto& [h, dialogs, w] = f;
    // Alt alone marks the menu bar's first menu, Down opens it.
    QWidget* focus = QApplication::focusWidget();
    QTest::keyPress(focus, Qt::Key_Alt);
    QTest::keyRelease(focus, Qt::Key_Alt, Qt::AltModifier);
    auto* menu = child<QMenu>(w, "mnuLsgl");
    QTRY_COMPARE(w.menuBar()->activeAction(), menu->menuAction());
    QTest::keyClick(w.menuBar(), Qt::Key_Down);
    QTRY_VERIFY(menu->isVisible());
    menu->close();
}

void FrmMainMaintenanceTest::sharedAccessKeyOnButtonsReachesBoth_data() {
    QTest::addColumn<bool>("onlineUpdateEnabled");
    QTest::newRow("online update off: Alt+O exports at once") << false;
    QTest::newRow("online update on: Alt+O moves between both") << true;
}

void FrmMainMaintenanceTest::sharedAccessKeyOnButtonsReachesBoth() {
    QFETCH(bool, onlineUpdateEnabled);
    WindowFixture f(2013001, sampleDraws(10), Shown::Active);
    auto& [h, dialogs, w] = f;
    auto* online = child<QPushButton>(w, "Command21");
    auto* exportText = child<QPushButton>(w, "Command4");
    online->setEnabled(onlineUpdateEnabled);
    QSignalSpy onlineClicked(online, &QPushButton::clicked);
    QSignalSpy exportClicked(exportText, &QPushButton::clicked);
    if (onlineUpdateEnabled) {
        // Two buttons share &O: each press moves the focus on, Space presses the one focused.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), online);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), exportText);
        QCOMPARE(onlineClicked.count() + exportClicked.count(), 0);
        QTest::keyClick(exportText, Qt::Key_Space);
    } else {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
    }
    QTRY_COMPARE(exportClicked.count(), 1);
    QCOMPARE(onlineClicked.count(), 0);
    QCOMPARE(dialogs.opened().size(), 1);
}

QTEST_MAIN(FrmMainMaintenanceTest)
#include "tst_frmmain_maintenance.moc"
