#include "AppTestSupport.h"

#include <QPushButton>
#include <QTabBar>

using namespace quorvex;
using namespace quorvex::test;

class FrmMainOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstTabRestoresReferenceDraw_data();
    void firstTabRestoresReferenceDraw();
    void typedValuesRefuseLetters();
    void previousNthDrawMovesReferenceAndStart();
    void verificationTab_data();
    void verificationTab();
    void check4WithoutIssueIsReported();
    void typedVerificationIssueReloadsValues_data();
    void typedVerificationIssueReloadsValues();
    void optionsPersistAcrossRestart();
    void searchRequestReadsCurrentTabBoxes();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

void select(frmMain& w, const QString& radio) {
    child<QRadioButton>(w, radio)->click();
}

void showTab(frmMain& w, int tab) {
    child<QTabBar>(w, "TabStrip1")->setCurrentIndex(tab);
}

} // namespace

void FrmMainOptionsTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainOptionsTest::firstTabRestoresReferenceDraw_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("changeKindOnOtherTab");
    QTest::newRow("number") << int(Number) << false;
    QTest::newRow("zodiac") << int(Zodiac) << false;
    QTest::newRow("tail chosen on the verification tab") << int(Tail) << true;
    QTest::newRow("zodiac chosen on the verification tab") << int(Zodiac) << true;
}

void FrmMainOptionsTest::firstTabRestoresReferenceDraw() {
    QFETCH(int, kind);
    QFETCH(bool, changeKindOnOtherTab);
    WindowFixture f(2013001, sampleDraws(12));
    auto& [h, dialogs, w] = f;

    if (!changeKindOnOtherTab)
        select(w, QString("Option3_%1").arg(kind));
    showTab(w, 1);
    QTest::keyClicks(child<QLineEdit>(w, "Text22_1"), "7");
    leave(child<QLineEdit>(w, "Text22_1"));
    QCOMPARE(w.session().intRefVal()[0], 7);
    showTab(w, 2);
    child<QLineEdit>(w, "Text4")->setText("2013006");
    if (changeKindOnOtherTab)
        select(w, QString("Option3_%1").arg(kind));
    showTab(w, 0);

    QVERIFY(!w.session().bolManual());
    const auto expected = readHistoryView(w.historyStore()).last()->attributes.kindValues(kind);
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(w.session().intRefVal()[i - 1], expected[i - 1]);
        const QString shown =
            kind == Zodiac ? strSxName(expected[i - 1] - 1) : QString::number(expected[i - 1]);
        QCOMPARE(text(w, QString("Text2_%1").arg(i)), shown);
    }
    QVERIFY(child<QWidget>(w, "Frame2_0")->isVisibleTo(&w));
    QVERIFY(!child<QWidget>(w, "Frame2_2")->isVisibleTo(&w));
    QVERIFY(!child<QWidget>(w, "Check4")->isVisibleTo(&w));
}

void FrmMainOptionsTest::typedValuesRefuseLetters() {
    WindowFixture f(2013001, sampleDraws(5));
    auto& [h, dialogs, w] = f;
    showTab(w, 1);
    QVERIFY(w.session().bolManual());
    auto* box = child<QLineEdit>(w, "Text22_1");
    QTest::keyClicks(box, "1a2");
    QCOMPARE(box->text(), QString("12"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, "x-3");
    QCOMPARE(box->text(), QString("1-3"));
    leave(box); // not an integer: the value stays
    QCOMPARE(w.session().intRefVal()[0],
             readHistoryView(w.historyStore()).last()->attributes.at(1, Number));
    box->clear();
    QTest::keyClicks(box, "12");
    leave(box);
    QCOMPARE(w.session().intRefVal()[0], 12);
    QVERIFY(w.session().bolManual());
}

void FrmMainOptionsTest::previousNthDrawMovesReferenceAndStart() {
    const QVector<Numbers> draws = sampleDraws(10);
    WindowFixture f(2013001, draws);
    auto& [h, dialogs, w] = f;
    auto* n = child<QLineEdit>(w, "MaskEdBox2");
    n->setText("3");
    leave(n);
    QCOMPARE(rawSetting("intPreQi"), QString("3"));
    select(w, "Option1_2");
    QVERIFY(!w.session().settings().bolSq);
    QCOMPARE(rawSetting("bolSq"), QString("False"));
    QCOMPARE(referencePosition(w), 7); // 2013008
    QCOMPARE(text(w, "Text3_0"), QString("2013004"));
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(w.session().intRefVal()[i - 1], draws[7][i - 1]);

    select(w, "Option1_3");
    QCOMPARE(referencePosition(w), 9);
    QCOMPARE(text(w, "Text3_0"), QString("2013002"));
}

void FrmMainOptionsTest::verificationTab_data() {
    QTest::addColumn<QString>("issue");
    QTest::addColumn<bool>("check4");
    QTest::addColumn<qint64>("referenceIssue");
    QTest::addColumn<QString>("endIssue");
    QTest::newRow("2013001 looks at the end of 2012")
        << "2013001" << false << qint64(2012359) << "2013005";
    QTest::newRow("2013001 searching only before it")
        << "2013001" << true << qint64(2012359) << "2012359";
    QTest::newRow("2013004 searching only before it")
        << "2013004" << true << qint64(2013003) << "2013003";
}

void FrmMainOptionsTest::verificationTab() {
    QFETCH(QString, issue);
    QFETCH(bool, check4);
    QFETCH(qint64, referenceIssue);
    QFETCH(QString, endIssue);
    TempHistory h;
    h.appendMany(2012355, sampleDraws(5));
    h.appendMany(2013001, sampleDraws(5));
    WindowOn f(h.folder());
    auto& [dialogs, w] = f;
    child<QLineEdit>(w, "Text4")->setText(issue);
    child<QCheckBox>(w, "Check4")->setChecked(check4);
    showTab(w, 2);
    QVERIFY(child<QWidget>(w, "Check4")->isVisibleTo(&w));

    QCOMPARE(text(w, "Text3_1"), endIssue);
    qsizetype position = 0;
    while (readHistoryView(w.historyStore()).rows()[position].issue != referenceIssue)
        ++position;
    const auto values =
        readHistoryView(w.historyStore()).rows()[position].attributes.kindValues(Number);
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(w.session().intRefVal()[i - 1], values[i - 1]);
        QCOMPARE(text(w, QString("Text2_%1").arg(i + 10)), QString::number(values[i - 1]));
    }
    // Unticking returns the end of the range to the last draw.
    child<QCheckBox>(w, "Check4")->setChecked(!check4);
    child<QCheckBox>(w, "Check4")->setChecked(false);
    QCOMPARE(text(w, "Text3_1"), QString("2013005"));
}

void FrmMainOptionsTest::check4WithoutIssueIsReported() {
    WindowFixture f(2013001, sampleDraws(5));
    auto& [h, dialogs, w] = f;
    child<QLineEdit>(w, "Text4")->setText("abc");
    child<QCheckBox>(w, "Check4")->setChecked(true);
    QCOMPARE(dialogs.messages(), 1);
    QCOMPARE(text(w, "Text3_1"), QString("2013005"));
}

void FrmMainOptionsTest::typedVerificationIssueReloadsValues_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("leaveBy"); // enter, tab, search
    QTest::addColumn<qint64>("referenceIssue");
    QTest::addColumn<int>("messages");
    QTest::newRow("Enter") << "2013004"
                           << "enter" << qint64(2013003) << 0;
    QTest::newRow("Tab") << "2013002"
                         << "tab" << qint64(2013001) << 0;
    QTest::newRow("search pressed while typing") << "2013003"
                                                 << "search" << qint64(2013002) << 0;
    QTest::newRow("after a year's first issue") << "2013001"
                                                << "enter" << qint64(2012359) << 0;
    // Refused: the values stay those of the draw before the issue shown before (2013005).
    QTest::newRow("not an issue") << "abc"
                                  << "enter" << qint64(2013004) << 1;
    QTest::newRow("before the history") << "2012100"
                                        << "tab" << qint64(2013004) << 1;
    QTest::newRow("not an issue, search refused") << "abc"
                                                  << "search" << qint64(2013004) << 1;
}

void FrmMainOptionsTest::typedVerificationIssueReloadsValues() {
    QFETCH(QString, typed);
    QFETCH(QString, leaveBy);
    QFETCH(qint64, referenceIssue);
    QFETCH(int, messages);
    TempHistory h;
    h.appendMany(2012355, sampleDraws(5));
    h.appendMany(2013001, sampleDraws(5));
    WindowOn f(h.folder(), Shown::Active);
    auto& [dialogs, w] = f;
    showTab(w, 2);
    auto* issue = child<QLineEdit>(w, "Text4");
    QCOMPARE(issue->text(), QString("2013005"));
    issue->setFocus();
    QTRY_VERIFY(issue->hasFocus());
    issue->selectAll();
    QTest::keyClicks(issue, typed);
    if (leaveBy == "enter")
        QTest::keyClick(issue, Qt::Key_Return);
    else if (leaveBy == "tab")
        QTest::keyClick(issue, Qt::Key_Tab);
    else
        child<QPushButton>(w, "Command1")->click();
    QCOMPARE(dialogs.messages(), messages);

    qsizetype position = 0;
    while (readHistoryView(w.historyStore()).rows()[position].issue != referenceIssue)
        ++position;
    const auto values =
        readHistoryView(w.historyStore()).rows()[position].attributes.kindValues(Number);
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(w.session().intRefVal()[i - 1], values[i - 1]);
        QCOMPARE(text(w, QString("Text2_%1").arg(i + 10)), QString::number(values[i - 1]));
    }
}

void FrmMainOptionsTest::optionsPersistAcrossRestart() {
    QTemporaryDir folder;
    {
        WindowOn f(folder.path());
        auto& [dialogs, w] = f;
        select(w, "Option1_0");
        select(w, "Option1_2");
        select(w, "Option3_4");
        select(w, "Option4_3");
        QCOMPARE(rawSetting("bolZyw"), QString("False"));
        QCOMPARE(rawSetting("bolSq"), QString("False"));
        QCOMPARE(rawSetting("intLei"), QString("4"));
        QCOMPARE(rawSetting("intXianshiLei"), QString("3"));
    }
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    QVERIFY(child<QRadioButton>(w, "Option1_0")->isChecked());
    QVERIFY(child<QRadioButton>(w, "Option1_2")->isChecked());
    QVERIFY(child<QRadioButton>(w, "Option3_4")->isChecked());
    QVERIFY(child<QRadioButton>(w, "Option4_3")->isChecked());
    QCOMPARE(w.session().settings().intLei, 4);
    QCOMPARE(w.session().settings().intXianshiLei, 3);
}

void FrmMainOptionsTest::searchRequestReadsCurrentTabBoxes() {
    WindowFixture f(2013001, sampleDraws(6));
    auto& [h, dialogs, w] = f;
    child<QCheckBox>(w, "Check1_1")->setChecked(true);
    child<QCheckBox>(w, "Check1_3")->setChecked(true);
    child<QCheckBox>(w, "Check11_2")->setChecked(true);
    child<QCheckBox>(w, "Check1_15")->setChecked(true);
    select(w, "Option1_0");
    select(w, "Option3_1");
    select(w, "Option4_2");

    SearchRequest r = *w.searchRequest();
    QCOMPARE(r.bolPosSel, (std::array<bool, 5>{true, false, true, false, false}));
    QVERIFY(!r.bolZyw);
    QVERIFY(r.bolSq);
    QCOMPARE(r.intLei, 1);
    QCOMPARE(r.intXianshiLei, 2);
    QCOMPARE(r.intRefVal, readHistoryView(w.historyStore()).last()->attributes.kindValues(Zodiac));
    QCOMPARE(r.startIssue, 2013002);
    QCOMPARE(r.endIssue, 2013006);
    QCOMPARE(r.bases.sxIni, 1);

    showTab(w, 1);
    for (int i = 1; i <= 5; ++i) {
        auto* box = child<QLineEdit>(w, QString("Text22_%1").arg(i));
        QTest::keyClicks(box, QString::number(i));
        leave(box);
    }
    r = *w.searchRequest();
    QCOMPARE(r.bolPosSel, (std::array<bool, 5>{false, true, false, false, false}));
    QCOMPARE(r.intRefVal, (RefValues{1, 2, 3, 4, 5}));

    showTab(w, 2);
    r = *w.searchRequest();
    QCOMPARE(r.bolPosSel, (std::array<bool, 5>{false, false, false, false, true}));
}

QTEST_MAIN(FrmMainOptionsTest)
#include "tst_frmmain_options.moc"
