#include "AppTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTabWidget>

using namespace quorvex;
using namespace quorvex::test;

class FrmMainSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void everySettingSurvivesRestart();
    void zodiacBaseMenuMovesCheckMark();
    void retentionYearsBox_data();
    void retentionYearsBox();
    void badBoxValuesAreRefused_data();
    void badBoxValuesAreRefused();
    void leavingNBoxMovesReferenceDraw();
    void choiceIsStoredWhenMade_data();
    void choiceIsStoredWhenMade();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

void FrmMainSettingsTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainSettingsTest::everySettingSurvivesRestart() {
    QTemporaryDir folder;
    {
        WindowOn f(folder.path());
        auto& [dialogs, w] = f;
        child<QAction>(w, "mnuSxcs_0")->trigger();
        child<QAction>(w, "mnuDscs_0")->trigger();
        dialogs.answerInput(QString("9"));
        child<QAction>(w, "mnuSetDay")->trigger();
        auto* n = child<QLineEdit>(w, "MaskEdBox2");
        n->setText("4");
        leave(n);
        auto* combo = child<QComboBox>(w, "Combo1");
        combo->setCurrentText("3");
        leave(combo);
        child<QRadioButton>(w, "Option1_0")->click();
        child<QRadioButton>(w, "Option1_2")->click();
        child<QRadioButton>(w, "Option3_5")->click();
        child<QRadioButton>(w, "Option4_1")->click();
        // The window's own choices: ticks on each tab, the backtest's and the trend's, the page.
        for (const char* box : {"Check1_1", "Check1_3", "Check11_2", "Check1_15"})
            child<QCheckBox>(w, box)->setChecked(true);
        child<QSpinBox>(w, "backtestIssues")->setValue(300);
        child<QSpinBox>(w, "backtestTopK")->setValue(5);
        child<QCheckBox>(w, "backtestCombination")->setChecked(true);
        child<QComboBox>(w, "trendKind")->setCurrentIndex(1);
        child<QComboBox>(w, "trendRange")->setCurrentIndex(0);
        child<QSpinBox>(w, "trendLast")->setValue(250);
        w.resultsPanel()->pages()->setCurrentIndex(2);
        w.resize(1100, 650);
        w.close();
        QCOMPARE(dialogs.messages(), 0);
    }
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(w.size(), QSize(1100, 650));
    QCOMPARE(w.resultsPanel()->pages()->currentIndex(), 2);
    QStringList ticked;
    for (QCheckBox* box : w.findChildren<QCheckBox*>(QRegularExpression("^Check1")))
        if (box->isChecked())
            ticked << box->objectName();
    ticked.sort();
    QCOMPARE(ticked, (QStringList{"Check11_2", "Check1_1", "Check1_15", "Check1_3"}));
    QCOMPARE(child<QSpinBox>(w, "backtestIssues")->value(), 300);
    QCOMPARE(child<QSpinBox>(w, "backtestTopK")->value(), 5);
    QVERIFY(child<QCheckBox>(w, "backtestCombination")->isChecked());
    QCOMPARE(child<QComboBox>(w, "trendKind")->currentIndex(), 1);
    QCOMPARE(child<QComboBox>(w, "trendRange")->currentIndex(), 0);
    QCOMPARE(child<QSpinBox>(w, "trendLast")->value(), 250);
    const Settings& s = w.session().settings();
    QCOMPARE(s.SxIni, 0);
    QCOMPARE(s.DsIni, 0);
    QCOMPARE(s.IniSerchDay, 9);
    QCOMPARE(s.intPreQi, 4);
    QCOMPARE(s.intZhWSetup, 3);
    QVERIFY(!s.bolZyw);
    QVERIFY(!s.bolSq);
    QCOMPARE(s.intLei, 5);
    QCOMPARE(s.intXianshiLei, 1);
    QVERIFY(child<QAction>(w, "mnuSxcs_0")->isChecked());
    QVERIFY(!child<QAction>(w, "mnuSxcs_1")->isChecked());
    QVERIFY(child<QAction>(w, "mnuDscs_0")->isChecked());
    QCOMPARE(text(w, "MaskEdBox2"), QString("4"));
    QCOMPARE(child<QComboBox>(w, "Combo1")->currentText(), QString("3"));
    QVERIFY(w.valueBases().sxIni == 0 && w.valueBases().dsIni == 0);
}

void FrmMainSettingsTest::zodiacBaseMenuMovesCheckMark() {
    QTemporaryDir folder;
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    for (int round = 0; round < 2; ++round) {
        child<QAction>(w, "mnuSxcs_0")->trigger();
        QVERIFY(child<QAction>(w, "mnuSxcs_0")->isChecked());
        QVERIFY(!child<QAction>(w, "mnuSxcs_1")->isChecked());
        QCOMPARE(rawSetting("SxIni"), QString("0"));
        QCOMPARE(w.session().settings().SxIni, 0);
    }
    child<QAction>(w, "mnuDscs_1")->trigger();
    QVERIFY(child<QAction>(w, "mnuDscs_1")->isChecked());
    QCOMPARE(rawSetting("DsIni"), QString("1"));
}

void FrmMainSettingsTest::retentionYearsBox_data() {
    QTest::addColumn<QStringList>("answers"); // "<cancel>" cancels the box
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("stored");
    QTest::newRow("1 is refused, then empty keeps") << QStringList{"1", ""} << 1 << 3;
    QTest::newRow("17 is refused, then 16") << QStringList{"17", "16"} << 1 << 16;
    QTest::newRow("2 is stored") << QStringList{"2"} << 0 << 2;
    QTest::newRow("16 is stored") << QStringList{"16"} << 0 << 16;
    QTest::newRow("empty keeps") << QStringList{""} << 0 << 3;
    QTest::newRow("cancel keeps") << QStringList{"<cancel>"} << 0 << 3;
    QTest::newRow("not a number, then 5") << QStringList{"five", "5"} << 1 << 5;
}

void FrmMainSettingsTest::retentionYearsBox() {
    QFETCH(QStringList, answers);
    QFETCH(int, messages);
    QFETCH(int, stored);
    QTemporaryDir folder;
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    for (const QString& a : answers)
        dialogs.answerInput(a == "<cancel>" ? std::nullopt : std::optional<QString>(a));
    child<QAction>(w, "mnuSetDay")->trigger();

    QCOMPARE(dialogs.count("input"), answers.size());
    QCOMPARE(dialogs.messages(), messages);
    const auto& first = dialogs.asked().first();
    QCOMPARE(first.title, QString("设置年数"));
    QVERIFY(first.text.endsWith("|3"));
    if (messages > 0) {
        QCOMPARE(dialogs.asked()[1].title, QString("输入有误"));
        // Asked again with the refused answer as typed.
        QVERIFY(dialogs.asked()[2].text.endsWith("|" + answers[0]));
    }
    QCOMPARE(w.session().settings().IniSerchDay, stored);
    if (stored != 3)
        QCOMPARE(rawSetting("IniSerchDay"), QString::number(stored));
    else
        QVERIFY(rawSetting("IniSerchDay").isEmpty());
}

void FrmMainSettingsTest::badBoxValuesAreRefused_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("key");
    QTest::newRow("N box empty") << "MaskEdBox2"
                                 << ""
                                 << "intPreQi";
    QTest::newRow("N box 0") << "MaskEdBox2"
                             << "0"
                             << "intPreQi";
    QTest::newRow("combined positions not a number") << "Combo1"
                                                     << "two"
                                                     << "intZhWSetup";
    QTest::newRow("combined positions 7") << "Combo1"
                                          << "7"
                                          << "intZhWSetup";
}

void FrmMainSettingsTest::badBoxValuesAreRefused() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, key);
    WindowFixture f(2013001, sampleDraws(8));
    auto& [h, dialogs, w] = f;
    child<QRadioButton>(w, "Option1_2")->click();
    const qsizetype reference = referencePosition(w);
    QWidget* control = child<QWidget>(w, box);
    if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentText(typed);
    else
        static_cast<QLineEdit*>(control)->setText(typed);
    leave(control);

    QCOMPARE(dialogs.messages(), 1);
    QVERIFY(rawSetting(key).isEmpty());
    QCOMPARE(w.session().settings().intPreQi, 2);
    QCOMPARE(w.session().settings().intZhWSetup, 2);
    QCOMPARE(referencePosition(w), reference);
    QCOMPARE(text(w, "MaskEdBox2"), QString("2"));
    QCOMPARE(child<QComboBox>(w, "Combo1")->currentText(), QString("2"));
}

void FrmMainSettingsTest::leavingNBoxMovesReferenceDraw() {
    const QVector<Numbers> draws = sampleDraws(10);
    WindowFixture f(2013001, draws);
    auto& [h, dialogs, w] = f;
    child<QRadioButton>(w, "Option1_2")->click();
    auto* n = child<QLineEdit>(w, "MaskEdBox2");
    n->setText("5");
    leave(n);
    QCOMPARE(rawSetting("intPreQi"), QString("5"));
    QCOMPARE(referencePosition(w), 5); // 2013006, the fifth from the end
    QCOMPARE(text(w, "Text3_0"), QString("2013006"));
    QCOMPARE(text(w, "Text2_1"), QString::number(draws[5][0]));
}

void FrmMainSettingsTest::choiceIsStoredWhenMade_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("keys"); // "down": the next entry of the list
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::newRow("组合位数 from the list") << "Combo1"
                                            << "down"
                                            << "intZhWSetup"
                                            << "3";
    QTest::newRow("组合位数 typed") << "Combo1"
                                    << "4"
                                    << "intZhWSetup"
                                    << "4";
    QTest::newRow("前N期 typed") << "MaskEdBox2"
                                 << "5"
                                 << "intPreQi"
                                 << "5";
}

void FrmMainSettingsTest::choiceIsStoredWhenMade() {
    QFETCH(QString, box);
    QFETCH(QString, keys);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    TempHistory h;
    h.appendMany(2013001, sampleDraws(8));
    {
        WindowOn f(h.folder(), Shown::Active);
        auto& [dialogs, w] = f;
        QWidget* control = child<QWidget>(w, box);
        control->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(control->hasFocus());
        if (auto* line = qobject_cast<QLineEdit*>(control))
            line->selectAll();
        if (keys == "down")
            QTest::keyClick(control, Qt::Key_Down);
        else
            QTest::keyClicks(control, keys);
        // Closed with the focus still in the box.
        QVERIFY(control->hasFocus());
        QCOMPARE(rawSetting(key), stored);
        QCOMPARE(dialogs.messages(), 0);
    }
    WindowOn reopened(h.folder());
    auto& [dialogs, again] = reopened;
    const Settings& s = again.session().settings();
    QCOMPARE(QString::number(key == "intPreQi" ? s.intPreQi : s.intZhWSetup), stored);
}

QTEST_MAIN(FrmMainSettingsTest)
#include "tst_frmmain_settings.moc"
