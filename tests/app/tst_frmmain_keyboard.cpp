#include "AppTestSupport.h"

#include "import/TextImport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>

using namespace quorvex;
using namespace quorvex::test;

// The window used without a mouse: where it opens, where Tab goes, what the access keys and
// Enter do, and whether it fits a small screen.
class FrmMainKeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void opensInFirstEntryBox();
    void tabLeavesEachGrid_data();
    void tabLeavesEachGrid();
    void rowsTabInOrder_data();
    void rowsTabInOrder();
    void accessKeysPressTheirButtons_data();
    void accessKeysPressTheirButtons();
    void enterInCombinedPositionsKeepsTheList();
    void findJumpsToAnIssue_data();
    void findJumpsToAnIssue();
    void fitsSmallScreen_data();
    void fitsSmallScreen();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

void focusOn(QWidget* widget) {
    widget->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(widget->hasFocus());
}

QWidget* tab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget();
}

} // namespace

void FrmMainKeyboardTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainKeyboardTest::opensInFirstEntryBox() {
    WindowFixture f(2013001, sampleDraws(5), Shown::Active);
    auto& [h, dialogs, w] = f;
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "MaskEdBox1_1"));
    // The draw can be typed straight away, each box handing on to the next.
    QTest::keyClicks(QApplication::focusWidget(), "01");
    QTest::keyClicks(QApplication::focusWidget(), "02");
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "MaskEdBox1_3"));
}

void FrmMainKeyboardTest::tabLeavesEachGrid_data() {
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("next");
    QTest::newRow("history grid") << "MSFlexGrid1" << 1340 << "findIssue";
    QTest::newRow("match grid, chart beside") << "MSFlexGrid2" << 1340 << "MSFlexGrid3";
    // On a narrow window the result grid and the chart are tabs: Tab reaches their tab bar.
    QTest::newRow("match grid, tabs") << "MSFlexGrid2" << 1000 << "qt_tabwidget_tabbar";
}

void FrmMainKeyboardTest::tabLeavesEachGrid() {
    QFETCH(QString, grid);
    QFETCH(QString, next);
    WindowFixture f(2013001, sampleDraws(50));
    auto& [h, dialogs, w] = f;
    QFETCH(int, width);
    w.resize(width, 700);
    showWindow(w, Shown::Active);
    child<QRadioButton>(w, "Option1_0")->click(); // fixed positions
    child<QPushButton>(w, "Command2")->click();   // some match rows to walk through
    QVERIFY(child<QTableView>(w, "MSFlexGrid2")->model()->rowCount() > 0);

    auto* view = child<QTableView>(w, grid);
    focusOn(view);
    view->setCurrentIndex(view->model()->index(0, 0));
    QCOMPARE(tab()->objectName(), next);
}

void FrmMainKeyboardTest::rowsTabInOrder_data() {
    QTest::addColumn<int>("tab"); // of TabStrip1
    QTest::addColumn<QString>("from");
    QTest::addColumn<QStringList>("walked");
    QTest::newRow("typed values") << 1 << "Text22_1"
                                  << QStringList{"Text22_2", "Text22_3",  "Text22_4",
                                                 "Text22_5", "Check11_1", "Check11_2"};
    QTest::newRow("backtest") << 0 << "Command2"
                              << QStringList{"backtestIssues", "backtestTopK",
                                             "backtestCombination", "backtestButton"};
}

void FrmMainKeyboardTest::rowsTabInOrder() {
    QFETCH(int, tab);
    QFETCH(QString, from);
    QFETCH(QStringList, walked);
    QTemporaryDir folder;
    WindowOn f(folder.path(), Shown::Active);
    auto& [dialogs, w] = f;
    child<QTabBar>(w, "TabStrip1")->setCurrentIndex(tab);
    focusOn(child<QWidget>(w, from));
    QStringList steps;
    while (steps.size() < walked.size())
        steps << ::tab()->objectName();
    QCOMPARE(steps, walked);
}

void FrmMainKeyboardTest::accessKeysPressTheirButtons_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::newRow("Alt+S 检索") << int(Qt::Key_S) << "Command1";
    QTest::newRow("Alt+G 组合检索") << int(Qt::Key_G) << "Command2";
    QTest::newRow("Alt+B 回测") << int(Qt::Key_B) << "backtestButton";
    QTest::newRow("Alt+W 读取历史号文本") << int(Qt::Key_W) << "cmdRdLst";
    QTest::newRow("Alt+T 软件设置") << int(Qt::Key_T) << "Command9";
}

void FrmMainKeyboardTest::accessKeysPressTheirButtons() {
    QFETCH(int, key);
    QFETCH(QString, button);
    // The dialogs answer nothing: the import's question is cancelled.
    WindowFixture f(2013001, sampleDraws(20), Shown::Active);
    auto& [h, dialogs, w] = f;
    // The mouse rests away from every button.
    QCursor::setPos(w.mapToGlobal(QPoint(w.width() - 5, w.height() - 5)));
    QSignalSpy clicked(child<QPushButton>(w, button), &QPushButton::clicked);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::AltModifier);
    QTRY_COMPARE(clicked.count(), 1);
    if (button == "Command9") {
        auto* menu = child<QMenu>(w, "mnuSetup");
        QTRY_VERIFY(menu->isVisible());
        // Opened from the keyboard, the menu stands by its button, not where the mouse is.
        const QWidget* b = child<QPushButton>(w, button);
        QCOMPARE(menu->geometry().left(), b->mapToGlobal(QPoint(0, 0)).x());
        menu->close();
    }
}

void FrmMainKeyboardTest::enterInCombinedPositionsKeepsTheList() {
    QTemporaryDir folder;
    WindowOn f(folder.path(), Shown::Active);
    auto& [dialogs, w] = f;
    auto* combo = child<QComboBox>(w, "Combo1");
    // The opened list marks the value shown.
    QCOMPARE(combo->currentIndex(), 1);
    focusOn(combo);
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo, "5");
    QTest::keyClick(combo, Qt::Key_Return);
    focusOn(child<QLineEdit>(w, "Text3_0"));
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(w.session().settings().intZhWSetup, 5);
    QCOMPARE(rawSetting("intZhWSetup"), QString("5"));
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    QCOMPARE(entries, (QStringList{"1", "2", "3", "4"}));
}

void FrmMainKeyboardTest::findJumpsToAnIssue_data() {
    QTest::addColumn<bool>("fromGrid"); // digits typed on the grid, else Ctrl+F first
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("row"); // -1: not found
    QTest::newRow("Ctrl+F, an issue") << false << "2013045" << 44;
    QTest::newRow("on the grid, an issue") << true << "2013045" << 44;
    QTest::newRow("on the grid, a year") << true << "2014" << 60;
    QTest::newRow("Ctrl+F, the newest 045") << false << "045" << 104;
    QTest::newRow("Ctrl+F, no such issue") << false << "2015" << -1;
    QTest::newRow("on the grid, no such issue") << true << "2030001" << -1;
    // The first digits jump to 2013..., the last one misses: back where the grid stood.
    QTest::newRow("Ctrl+F, a partial match then none") << false << "20139" << -1;
}

void FrmMainKeyboardTest::findJumpsToAnIssue() {
    QFETCH(bool, fromGrid);
    QFETCH(QString, typed);
    QFETCH(int, row);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(60));
    h.appendMany(2014001, sampleDraws(50));
    WindowOn f(h.folder(), Shown::Active);
    auto& [dialogs, w] = f;
    auto* grid = child<QTableView>(w, "MSFlexGrid1");
    // Where the grid stands before the find: its newest rows, a row chosen among them.
    grid->setCurrentIndex(grid->model()->index(100, 0));
    const int top = grid->verticalScrollBar()->value();
    if (fromGrid) {
        focusOn(grid);
        QTest::keyClicks(grid, typed.left(1));
        QTest::keyClicks(QApplication::focusWidget(), typed.mid(1));
    } else {
        QTest::keySequence(&w, QKeySequence::Find);
        QTest::keyClicks(QApplication::focusWidget(), typed);
    }
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("findIssue"));
    QCOMPARE(text(w, "findIssue"), typed);
    if (row < 0) {
        QCOMPARE(child<QLabel>(w, "findIssueResult")->text(), QString("没有这一期"));
        // The grid stands where it stood: no row the first digits jumped to stays marked.
        QCOMPARE(grid->currentIndex().row(), 100);
        QCOMPARE(grid->selectionModel()->selectedIndexes(),
                 QModelIndexList{grid->model()->index(100, 0)});
        QCOMPARE(grid->verticalScrollBar()->value(), top);
        return;
    }
    QCOMPARE(grid->currentIndex().row(), row);
    QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
    // Enter goes back to the grid, on the issue found.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(grid->currentIndex().row(), row);
}

void FrmMainKeyboardTest::fitsSmallScreen_data() {
    QTest::addColumn<QString>("run"); // the button pressed first
    QTest::newRow("before a search") << "";
    // Counts of four digits widen the result grid.
    QTest::newRow("after a search") << "Command1";
    QTest::newRow("after a backtest") << "backtestButton";
}

void FrmMainKeyboardTest::fitsSmallScreen() {
    QFETCH(QString, run);
    TempHistory h;
    const QString sample = QFINDTESTDATA("../../data/历史号码/模拟历史号码-示例.txt");
    QVERIFY(importHistoryFile(h.store(), sample, {}).replaced);
    WindowOn f(h.folder());
    auto& [dialogs, w] = f;
    const QSize small(1024, 640);
    w.resize(small);
    showWindow(w, Shown::Active);
    if (run == "Command1") {
        child<QPushButton>(w, run)->click();
        QVERIFY(w.resultGridModel()->rowCount() == 15);
        QVERIFY(cell(child<QTableView>(w, "MSFlexGrid3"), 0, 2).size() == 4);
    }
    if (run == "backtestButton") {
        child<QCheckBox>(w, "Check1_1")->setChecked(true);
        child<QPushButton>(w, run)->click();
        QCOMPARE(dialogs.messages(), 0);
        QApplication::processEvents();
        auto* table = child<QTableView>(w, "backtestGrid");
        QVERIFY(table->isVisible() && table->model()->rowCount() == 100);
        // Every column of the table shows whole, without scrolling sideways.
        QVERIFY(!table->horizontalScrollBar()->isVisible());
        QVERIFY(child<QWidget>(w, "backtestChart")->height() >= 150);
        QVERIFY(child<QLabel>(w, "backtestSummary")->isVisible());
    }
    QApplication::processEvents();
    QCOMPARE(w.size(), small);
    QVERIFY2(w.minimumSizeHint().width() <= small.width() &&
                 w.minimumSizeHint().height() <= small.height(),
             qPrintable(QStringLiteral("%1x%2")
                            .arg(w.minimumSizeHint().width())
                            .arg(w.minimumSizeHint().height())));
    // Every control shows whole, inside the window.
    for (QWidget* c : w.findChildren<QWidget*>()) {
        if (!c->isVisible() || c->objectName().isEmpty() || c->objectName().startsWith("qt_"))
            continue;
        QVERIFY2(w.rect().contains(QRect(c->mapTo(&w, QPoint(0, 0)), c->size())),
                 qPrintable(c->objectName()));
        // Buttons, boxes and their captions whole.
        if (auto* b = qobject_cast<QAbstractButton*>(c))
            QVERIFY2(b->width() >= b->sizeHint().width() && b->height() >= b->sizeHint().height(),
                     qPrintable(b->objectName()));
        if (auto* g = qobject_cast<QGroupBox*>(c))
            QVERIFY2(g->width() >= g->fontMetrics().horizontalAdvance(g->title()) + 8,
                     qPrintable(g->objectName()));
    }
    w.resultsPanel()->pages()->setCurrentIndex(0);
    auto* results = child<QTableView>(w, "MSFlexGrid3");
    QTRY_VERIFY(results->isVisible());
    const int rows =
        results->viewport()->height() / results->verticalHeader()->defaultSectionSize();
    QVERIFY2(rows >= 8, qPrintable(QString::number(rows)));
    if (run == "Command1") {
        // Scrolled to the comparison with chance, the values stay in view beside it.
        results->horizontalScrollBar()->setValue(results->horizontalScrollBar()->maximum());
        auto* frozen = child<QTableView>(w, "MSFlexGrid3Frozen");
        QTRY_VERIFY(frozen->isVisible());
        QVERIFY(!frozen->isColumnHidden(1) && frozen->isColumnHidden(2));
        QCOMPARE(frozen->width(), results->columnWidth(0) + results->columnWidth(1) + 1);
    }
    // The chart is one tab away, with room for its fifteen bars.
    auto* tabs = child<QTabWidget>(w, "resultTabs");
    QVERIFY(tabs->isVisible());
    tabs->setCurrentIndex(1);
    QWidget* chart = child<QWidget>(w, "chartView");
    QTRY_VERIFY(chart->isVisible());
    QVERIFY(chart->width() >= 260 && chart->height() >= 200);
    // On a wide screen it stands beside the result grid again.
    w.resize(1366, 738);
    QTRY_COMPARE(w.width(), 1366);
    QTRY_VERIFY(!tabs->isVisible());
    QVERIFY(chart->isVisible() && results->isVisible());
    QVERIFY(chart->width() >= 200);
    // Every column of the result grid in view.
    QTRY_VERIFY(!results->horizontalScrollBar()->isVisible());
}

QTEST_MAIN(FrmMainKeyboardTest)
#include "tst_frmmain_keyboard.moc"
