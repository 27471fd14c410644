#include "AppTestSupport.h"
#include "presentation/ChanceTexts.h"

#include "../export/ReadOnlyFolder.h"
#include "FollowOracle.h"

#include "analysis/ChanceBaseline.h"
#include <QLineEdit>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

using namespace quorvex;
using namespace quorvex::test;

class FrmMainSearchTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void typedDrawThenZodiacSearchEndToEnd_data();
    void typedDrawThenZodiacSearchEndToEnd();
    void badInputLeavesGridsAsTheyWere_data();
    void badInputLeavesGridsAsTheyWere();
    void combinationSearchFillsGridsAndChart();
    void combinationBoxShowsWhatIsUsed();
    void importedHistoryIsSearchedWithItsRange();
    void anotherProgramsAppendIsPickedUp();
    void resultsOfAnOlderHistoryAreMarked_data();
    void resultsOfAnOlderHistoryAreMarked();
    void readOnlyHistoryIsSearchedAndLeftAsItWas();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

QLineEdit* entryBox(frmMain& w, int i) {
    return child<QLineEdit>(w, QString("MaskEdBox1_%1").arg(i));
}

void tick(frmMain& w, const QList<int>& positions) {
    for (int i = 1; i <= 5; ++i)
        child<QCheckBox>(w, QString("Check1_%1").arg(i))->setChecked(positions.contains(i));
}

QStringList gridHeader(QTableView* grid) {
    QStringList header;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        header << grid->model()->headerData(c, Qt::Horizontal).toString();
    return header;
}

// The chart's bars as (category, height) in drawing order.
QVector<QPair<QString, qint64>> chartBars(frmMain& w) {
    QVector<QPair<QString, qint64>> bars;
    QChart* chart = w.chartView()->chart();
    // One bar series; the expected counts and outlines are series of their own.
    QList<QBarSeries*> barSeries;
    for (QAbstractSeries* s : chart->series())
        if (auto* b = qobject_cast<QBarSeries*>(s))
            barSeries << b;
    if (barSeries.size() != 1)
        return bars;
    auto* bar = barSeries.first();
    const auto axes = chart->axes(Qt::Horizontal);
    auto* categories = axes.isEmpty() ? nullptr : qobject_cast<QBarCategoryAxis*>(axes.first());
    if (!bar || bar->count() != 1 || !categories)
        return bars;
    QBarSet* set = bar->barSets().first();
    for (int i = 0; i < set->count(); ++i)
        bars.append({categories->at(i), qint64(set->at(i))});
    return bars;
}

// What the grids and the chart must show, answered independently of the window and the search.
void checkDisplay(frmMain& w, const FollowResult& expected, const QStringList& valueLabels) {
    QCOMPARE(gridRows(child<QTableView>(w, "MSFlexGrid2")), expected.matchRows);
    // The grid's own four columns; the comparison with chance follows them.
    QVector<QStringList> shown;
    for (const QStringList& row : gridRows(child<QTableView>(w, "MSFlexGrid3")))
        shown << row.mid(0, 4);
    QCOMPARE(shown, expected.resultRows);
    const auto bars = chartBars(w);
    QCOMPARE(bars.size(), valueLabels.size());
    for (int i = 0; i < bars.size(); ++i) {
        QCOMPARE(bars[i].first, valueLabels[i]);
        qint64 count = -1;
        for (const QStringList& row : expected.resultRows)
            if (row[1] == valueLabels[i])
                count = row[2].toLongLong();
        QCOMPARE(bars[i].second, count);
    }
}

QStringList numberLabels() {
    QStringList labels;
    for (int v = 1; v <= 15; ++v)
        labels << QString::number(v);
    return labels;
}

} // namespace

void FrmMainSearchTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainSearchTest::typedDrawThenZodiacSearchEndToEnd_data() {
    QTest::addColumn<QList<int>>("ticked");
    QTest::newRow("positions 1 and 3") << QList<int>{1, 3};
    QTest::newRow("no position: every draw") << QList<int>{};
}

// A draw typed into the boxes becomes the reference of a zodiac search over the ticked
// positions with a number tally.
void FrmMainSearchTest::typedDrawThenZodiacSearchEndToEnd() {
    QFETCH(QList<int>, ticked);
    WindowFixture f(2013001, randomDraws(60, 7), Shown::Active);
    auto& [h, dialogs, w] = f;
    QCOMPARE(text(w, "Text1"), QString("2013061"));

    entryBox(w, 1)->setFocus();
    QTRY_VERIFY(entryBox(w, 1)->hasFocus());
    const QStringList typed{"03", "07", "09", "11", "14"};
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(QApplication::focusWidget(), entryBox(w, i));
        QTest::keyClicks(entryBox(w, i), typed[i - 1]);
    }
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(h.store().drawCount(), qint64(61));
    const StoredDraw stored = *readHistoryView(w.historyStore()).last();
    QCOMPARE(stored.issue, qint64(2013061));
    QCOMPARE(stored.attributes.numbers(), (Numbers{3, 7, 9, 11, 14}));
    for (int i = 1; i <= 5; ++i)
        QVERIFY(entryBox(w, i)->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), entryBox(w, 1));
    QCOMPARE(text(w, "Text1"), QString("2013062"));
    QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 61);

    child<QRadioButton>(w, "Option3_1")->click(); // search by zodiac
    child<QRadioButton>(w, "Option4_0")->click(); // tally numbers
    tick(w, ticked);
    const auto zodiacs = stored.attributes.kindValues(Zodiac);
    QCOMPARE(w.session().intRefVal(), zodiacs); // the new draw is the reference
    QTest::mouseClick(child<QPushButton>(w, "Command1"), Qt::LeftButton);
    QCOMPARE(dialogs.messages(), 0);

    const SearchRequest request = *w.searchRequest();
    QVERIFY(request.bolZyw && request.bolSq);
    const HistoryView view = readHistoryView(h.store());
    const FollowResult expected = expectedResult(
        view, request, [&](qsizetype earlier) { return followMatches(view, request, earlier); });
    QVERIFY2(expected.matchRows.size() >= 3, "the history should give some follow draws");
    QCOMPARE(gridHeader(child<QTableView>(w, "MSFlexGrid2")),
             (QStringList{"期号", "第1码", "第2码", "第3码", "第4码", "第5码", "上期开奖"}));
    QCOMPARE(
        gridHeader(child<QTableView>(w, "MSFlexGrid3")),
        (QStringList{"序号", "结果", "出现次数", "百分比", "期望次数", "比值", "校正p值", "显著"}));
    // The comparison's columns explain themselves; the grid's own need no tip.
    QAbstractItemModel* results = child<QTableView>(w, "MSFlexGrid3")->model();
    for (int c = 0; c < results->columnCount(); ++c)
        QCOMPARE(results->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 c < 4 ? QString() : baselineHeaderTips().at(c - 4));
    checkDisplay(w, expected, numberLabels());
    QVERIFY(w.chartView()->chart()->title().contains("结果分布"));
    // The page's heading names the run: the core's caption of the request shown, which says
    // when every draw was tallied.
    FollowResult shown;
    shown.followDraws = expected.matchRows.size();
    shown.note = ticked.isEmpty() ? QStringLiteral("未勾选位置，范围内每期都计入") : QString();
    QCOMPARE(child<QLabel>(w, "searchCaption")->text(),
             searchCaption(request, 0, {ReferenceOrigin::Kind::Draw, 2013061}, shown));
    if (ticked.isEmpty())
        QCOMPARE(expected.matchRows.size(), request.endIssue - request.startIssue + 1);
}

void FrmMainSearchTest::badInputLeavesGridsAsTheyWere_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::newRow("start issue not a number") << "Text3_0"
                                              << "abc";
    QTest::newRow("end issue not a number") << "Text3_1"
                                            << "20x3";
    QTest::newRow("typed reference value outside the kind") << "Text22_2"
                                                            << "16";
}

void FrmMainSearchTest::badInputLeavesGridsAsTheyWere() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    WindowFixture f(2013001, randomDraws(40, 3));
    auto& [h, dialogs, w] = f;
    tick(w, {2});
    child<QPushButton>(w, "Command1")->click();
    QCOMPARE(dialogs.messages(), 0);
    const auto matches = gridRows(child<QTableView>(w, "MSFlexGrid2"));
    const auto results = gridRows(child<QTableView>(w, "MSFlexGrid3"));
    const auto bars = chartBars(w);
    QCOMPARE(results.size(), 15);

    if (box.startsWith("Text22")) {
        child<QTabBar>(w, "TabStrip1")->setCurrentIndex(1);
        child<QCheckBox>(w, "Check11_2")->setChecked(true);
    }
    auto* edit = child<QLineEdit>(w, box);
    edit->setText(typed);
    leave(edit);
    child<QPushButton>(w, "Command1")->click();

    QCOMPARE(dialogs.messages(), 1);
    QVERIFY(!dialogs.asked().last().text.isEmpty());
    QCOMPARE(gridRows(child<QTableView>(w, "MSFlexGrid2")), matches);
    QCOMPARE(gridRows(child<QTableView>(w, "MSFlexGrid3")), results);
    QCOMPARE(chartBars(w), bars);
}

void FrmMainSearchTest::combinationSearchFillsGridsAndChart() {
    WindowFixture f(2013001, randomDraws(80, 21), Shown::Active);
    auto& [h, dialogs, w] = f;
    child<QRadioButton>(w, "Option3_3")->click(); // search by tail
    child<QRadioButton>(w, "Option4_1")->click(); // tally zodiacs
    tick(w, {4});                                 // not consulted
    auto* combo = child<QComboBox>(w, "Combo1");
    combo->setFocus();
    QTRY_VERIFY(combo->hasFocus());
    combo->setCurrentText("3");
    // The shortcut leaves the focus in the box; its text still counts.
    child<QPushButton>(w, "Command2")->click();
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(w.session().settings().intZhWSetup, 3);

    const SearchRequest request = *w.searchRequest();
    const HistoryView view = readHistoryView(h.store());
    const FollowResult expected = expectedResult(view, request, [&](qsizetype earlier) {
        return combinationMatches(view, request, 3, earlier);
    });
    QVERIFY(!expected.matchRows.isEmpty());
    QStringList zodiacNames;
    for (int k = 0; k < 12; ++k)
        zodiacNames << strSxName(k);
    checkDisplay(w, expected, zodiacNames);
    QVERIFY(child<QLabel>(w, "searchCaption")
                ->text()
                .startsWith(QStringLiteral("组合检索（3位，自由位）：全部5码")));
}

// The box always shows the number of positions the search will use: a stored value outside
// 1..5 is named once and replaced, and digits outside 1..5 cannot be typed.
void FrmMainSearchTest::combinationBoxShowsWhatIsUsed() {
    writeRawSetting("intZhWSetup", "7");
    WindowFixture f(2013001, randomDraws(30, 5), Shown::Active);
    auto& [h, dialogs, w] = f;
    QCOMPARE(dialogs.messages(), 1);
    QVERIFY(dialogs.asked().last().text.contains("intZhWSetup=7"));
    auto* combo = child<QComboBox>(w, "Combo1");
    QCOMPARE(combo->currentText(), QString("2"));

    combo->setFocus();
    QTRY_VERIFY(combo->hasFocus());
    QTest::keyClicks(combo->lineEdit(), "6");
    QCOMPARE(combo->currentText(), QString("2"));
    // A digit of 1..5 replaces the one shown, wherever the caret stands.
    QTest::keyClicks(combo->lineEdit(), "4");
    QCOMPARE(combo->currentText(), QString("4"));
    child<QPushButton>(w, "Command2")->click();
    QCOMPARE(dialogs.messages(), 1);
    QCOMPARE(w.session().settings().intZhWSetup, 4);
    QVERIFY(child<QTableView>(w, "MSFlexGrid3")->model()->rowCount() > 0);
}

// The import sets the range boxes from the new history: a search right after it covers it.
void FrmMainSearchTest::importedHistoryIsSearchedWithItsRange() {
    QTemporaryDir folder;
    QFile file(folder.filePath("draws.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QVector<Numbers> draws = randomDraws(50, 9);
    for (int d = 0; d < draws.size(); ++d)
        file.write(QString("%1 %2\r\n").arg(2020001 + d).arg(numberList(draws[d])).toLatin1());
    file.close();
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    dialogs.answerQuestion(true);
    dialogs.answerOpenFile(file.fileName());
    child<QPushButton>(w, "cmdRdLst")->click();
    QCOMPARE(text(w, "Text3_0"), QString("2020002"));
    QCOMPARE(text(w, "Text3_1"), QString("2020050"));
    tick(w, {});
    child<QPushButton>(w, "Command1")->click();
    // No position ticked: every draw of the range follows.
    QCOMPARE(child<QTableView>(w, "MSFlexGrid2")->model()->rowCount(), 49);
}

// Another program appends while the window is open: the next search answers on the history as
// it stands, the new draw its reference, without a refusal; the window also follows by itself.
void FrmMainSearchTest::anotherProgramsAppendIsPickedUp() {
    WindowFixture f(2013001, randomDraws(60, 12));
    auto& [h, dialogs, w] = f;
    tick(w, {1, 2});
    child<QPushButton>(w, "Command1")->click();
    QCOMPARE(text(w, "Text1"), QString("2013061"));

    HistoryStore other;
    QString error;
    QVERIFY2(other.open(h.folder(), &error), qPrintable(error));
    ZodiacYear zodiacYear;
    QVERIFY(other.appendNextDraw({2, 4, 6, 8, 10}, std::nullopt, std::nullopt, {}, zodiacYear,
                                 QDate(2024, 1, 1), &error));
    child<QPushButton>(w, "Command1")->click();
    QCOMPARE(dialogs.messages(), 0);
    QCOMPARE(text(w, "Text1"), QString("2013062"));
    QCOMPARE(w.session().intRefVal(), (RefValues{2, 4, 6, 8, 10}));
    QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 61);
    const SearchRequest request = *w.searchRequest();
    QCOMPARE(request.endIssue, 2013061);
    const HistoryView view = readHistoryView(h.store());
    const FollowResult expected = expectedResult(
        view, request, [&](qsizetype earlier) { return followMatches(view, request, earlier); });
    QCOMPARE(gridRows(child<QTableView>(w, "MSFlexGrid2")), expected.matchRows);

    // Without a search: the file's change brings the window up to date.
    QVERIFY(other.appendNextDraw({1, 3, 5, 7, 9}, std::nullopt, std::nullopt, {}, zodiacYear,
                                 QDate(2024, 1, 1), &error));
    QTRY_COMPARE_WITH_TIMEOUT(text(w, "Text1"), QString("2013063"), 5000);
    QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 62);
    QCOMPARE(dialogs.messages(), 0);
    QVERIFY(w.resultsPanel()->showsOutdatedResults());
}

void FrmMainSearchTest::resultsOfAnOlderHistoryAreMarked_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("删除最后历史") << "erase";
    QTest::newRow("清空历史号码") << "clear";
    QTest::newRow("读入历史") << "import";
    QTest::newRow("输入历史号码") << "entry";
}

void FrmMainSearchTest::resultsOfAnOlderHistoryAreMarked() {
    QFETCH(QString, change);
    WindowFixture f(2013001, randomDraws(40, 3), Shown::Active);
    auto& [h, dialogs, w] = f;
    auto* notice = child<QLabel>(w, "outdatedResults");
    QVERIFY(!notice->isVisible());
    h.appendMany(2013041, randomDraws(1, 4)); // a change before any search shows: nothing
    w.followOutsideChanges();
    QVERIFY(!notice->isVisible());
    child<QPushButton>(w, "Command1")->click();
    QVERIFY(w.matchGridModel()->rowCount() > 0);

    QTemporaryDir files;
    if (change == "erase") {
        child<QPushButton>(w, "Command3")->click();
    } else if (change == "clear") {
        dialogs.answerQuestion(true);
        child<QAction>(w, "mnuClear")->trigger();
    } else if (change == "import") {
        QFile f(files.filePath("h.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("2014001 01 02 03 04 05 \r\n2014002 06 07 08 09 10 \r\n");
        f.close();
        dialogs.answerQuestion(true);
        dialogs.answerOpenFile(f.fileName());
        child<QPushButton>(w, "cmdRdLst")->click();
    } else {
        for (int i = 1; i <= 5; ++i)
            QTest::keyClicks(entryBox(w, i), QString("0%1").arg(i));
        QCOMPARE(text(w, "Text1"), QString("2013043"));
    }
    QVERIFY2(notice->isVisible(), qPrintable(change));
    // The results stay to be read, marked; the next search is current again.
    QVERIFY(w.matchGridModel()->rowCount() > 0);
    if (change != "clear") {
        child<QPushButton>(w, "Command1")->click();
        QVERIFY(!notice->isVisible());
    }
}

// A history the user may read but not write opens read-only, is searched with the same answer
// as a writable one, and its file stays exactly as it was.
void FrmMainSearchTest::readOnlyHistoryIsSearchedAndLeftAsItWas() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(80, 13));
    const HistoryView view = readHistoryView(h.store());
    h.store().close();
    QVERIFY(QFile::setPermissions(h.folder(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString path = QDir(h.folder()).filePath("Quorvex.mdb");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    const QStringList entries = QDir(h.folder()).entryList(QDir::Files);
    {
        ReadOnlyFolder readOnly(h.folder());
        WindowOn f(h.folder());
        auto& [dialogs, w] = f;
        QVERIFY2(w.historyStore().isReadOnly() || !readOnly.effective(),
                 qPrintable(dialogs.asked().isEmpty() ? QString() : dialogs.asked().last().text));
        dialogs.clear();
        tick(w, {2, 4});
        child<QRadioButton>(w, "Option1_0")->click(); // fixed positions
        child<QPushButton>(w, "Command1")->click();
        child<QPushButton>(w, "Command2")->click();
        QCOMPARE(dialogs.messages(), 0);
        const SearchRequest request = *w.searchRequest();
        const int k = w.session().settings().intZhWSetup;
        const FollowResult expected = expectedResult(view, request, [&](qsizetype earlier) {
            return combinationMatches(view, request, k, earlier);
        });
        QVERIFY(!expected.matchRows.isEmpty());
        QCOMPARE(gridRows(child<QTableView>(w, "MSFlexGrid2")), expected.matchRows);
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == before);
    QCOMPARE(QDir(h.folder()).entryList(QDir::Files), entries);
}

QTEST_MAIN(FrmMainSearchTest)
#include "tst_frmmain_search.moc"
