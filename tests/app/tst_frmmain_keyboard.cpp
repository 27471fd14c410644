#include "AppTestSupport.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>

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
    void typedValuesTabInRowOrder();
    void accessKeysPressTheirButtons_data();
    void accessKeysPressTheirButtons();
    void enterInCombinedPositionsKeepsTheList();
    void fitsSmallScreen();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

void showActive(frmMain& w) {
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

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
    TempHistory h;
    h.appendMany(2013001, sampleDraws(5));
    ScriptedDialogs dialogs;
    frmMain w(h.folder(), &dialogs);
    showActive(w);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "MaskEdBox1_1"));
    // The draw can be typed straight away, each box handing on to the next.
    QTest::keyClicks(QApplication::focusWidget(), "01");
    QTest::keyClicks(QApplication::focusWidget(), "02");
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "MaskEdBox1_3"));
}

void FrmMainKeyboardTest::tabLeavesEachGrid_data() {
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("next");
    QTest::newRow("history grid") << "MSFlexGrid1"
                                  << "Command21";
    QTest::newRow("match grid") << "MSFlexGrid2"
                                << "MSFlexGrid3";
}

void FrmMainKeyboardTest::tabLeavesEachGrid() {
    QFETCH(QString, grid);
    QFETCH(QString, next);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(50));
    ScriptedDialogs dialogs;
    frmMain w(h.folder(), &dialogs);
    showActive(w);
    child<QRadioButton>(w, "Option1_0")->click(); // fixed positions
    child<QPushButton>(w, "Command2")->click();   // some match rows to walk through
    QVERIFY(child<QTableView>(w, "MSFlexGrid2")->model()->rowCount() > 0);

    auto* view = child<QTableView>(w, grid);
    focusOn(view);
    view->setCurrentIndex(view->model()->index(0, 0));
    QCOMPARE(tab()->objectName(), next);
}

void FrmMainKeyboardTest::typedValuesTabInRowOrder() {
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    showActive(w);
    child<QTabBar>(w, "TabStrip1")->setCurrentIndex(1);
    focusOn(child<QLineEdit>(w, "Text22_1"));
    QStringList walked;
    for (int step = 0; step < 6; ++step)
        walked << tab()->objectName();
    QCOMPARE(walked, (QStringList{"Text22_2", "Text22_3", "Text22_4", "Text22_5", "Check11_1",
                                  "Check11_2"}));
}

void FrmMainKeyboardTest::accessKeysPressTheirButtons_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::newRow("Alt+S 检索") << int(Qt::Key_S) << "Command1";
    QTest::newRow("Alt+G 组合检索") << int(Qt::Key_G) << "Command2";
    QTest::newRow("Alt+W 读取历史号文本") << int(Qt::Key_W) << "cmdRdLst";
    QTest::newRow("Alt+T 软件设置") << int(Qt::Key_T) << "Command9";
}

void FrmMainKeyboardTest::accessKeysPressTheirButtons() {
    QFETCH(int, key);
    QFETCH(QString, button);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(20));
    ScriptedDialogs dialogs; // the import's question is cancelled
    frmMain w(h.folder(), &dialogs);
    showActive(w);
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
    ScriptedDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    showActive(w);
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

void FrmMainKeyboardTest::fitsSmallScreen() {
    TempHistory h;
    h.appendMany(2013001, sampleDraws(50));
    ScriptedDialogs dialogs;
    frmMain w(h.folder(), &dialogs);
    w.resize(1100, 700);
    showActive(w);
    QVERIFY2(w.width() <= 1100 && w.height() <= 700,
             qPrintable(QStringLiteral("%1x%2").arg(w.width()).arg(w.height())));
    // Every button shows its whole caption.
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (!b->isVisible())
            continue;
        QVERIFY2(b->width() >= b->sizeHint().width() && b->height() >= b->sizeHint().height(),
                 qPrintable(b->objectName()));
        QVERIFY2(w.rect().contains(QRect(b->mapTo(&w, QPoint(0, 0)), b->size())),
                 qPrintable(b->objectName()));
    }
    // The chart keeps room for its fifteen value labels (it moves below the result grid).
    QVERIFY(child<QWidget>(w, "chartView")->width() >= 260);
    w.resize(1366, 738);
    QTRY_COMPARE(w.width(), 1366);
    QVERIFY(child<QWidget>(w, "chartView")->width() >= 260);
}

QTEST_MAIN(FrmMainKeyboardTest)
#include "tst_frmmain_keyboard.moc"
