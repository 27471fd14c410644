#include "analysis/ResultTally.h"
#include "FollowOracle.h"
#include "SearchOnStore.h"
#include "TestHistory.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>

using namespace quorvex;
using namespace quorvex::test;

class FollowSearchTest : public QObject {
    Q_OBJECT
private slots:
    void agreesWithIndependentAnswer_data();
    void agreesWithIndependentAnswer();
    void repeatedZodiacNeedsRepeatedValues();
    void lagOneBeforeEqualsLastDraw();
    void issueRangeBoundsFollowDraws();
    void percentagesAndEmptyResult();
    void headAndSegmentTallies();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void emptyHistoryGivesHeadings();
};

void FollowSearchTest::agreesWithIndependentAnswer_data() {
    QTest::addColumn<int>("sxIni");
    QTest::addColumn<int>("dsIni");
    QTest::newRow("bases 1") << 1 << 1;
    QTest::newRow("bases 0") << 0 << 0;
}

// Many searches in a row over one history: also catches working columns left stale by an
// earlier search with other options.
void FollowSearchTest::agreesWithIndependentAnswer() {
    QFETCH(int, sxIni);
    QFETCH(int, dsIni);
    TempHistory h;
    const ValueBases bases{sxIni, dsIni};
    h.appendMany(2013030, randomDraws(260, 7 + sxIni), bases);
    const HistoryView view = readHistoryView(h.store());
    QRandomGenerator rng(99 + dsIni);
    for (int run = 0; run < 160; ++run) {
        SearchRequest r = baseRequest();
        r.bases = bases;
        r.bolZyw = rng.bounded(2);
        r.bolSq = rng.bounded(2);
        r.intPreQi = 1 + rng.bounded(9);
        r.intLei = rng.bounded(6);
        r.intXianshiLei = rng.bounded(6);
        const auto ref = view.rows()[rng.bounded(int(view.size()))].attributes;
        r.intRefVal = ref.kindValues(r.intLei);
        for (int i = 0; i < kPositions; ++i)
            r.bolPosSel[i] = rng.bounded(100) < 45;
        if (rng.bounded(4) == 0) {
            r.startIssue = 2013030 + rng.bounded(200);
            r.endIssue = r.startIssue + rng.bounded(200);
        }
        QString error;
        const auto got = runFollowSearch(h.store(), r, &error);
        QVERIFY2(got, qPrintable(error));
        const FollowResult want =
            expectedResult(view, r, [&](qsizetype at) { return followMatches(view, r, at); });
        const QString what = QStringLiteral("run %1 zyw %2 sq %3 N %4 kind %5 result %6")
                                 .arg(run)
                                 .arg(r.bolZyw)
                                 .arg(r.bolSq)
                                 .arg(r.intPreQi)
                                 .arg(r.intLei)
                                 .arg(r.intXianshiLei);
        QVERIFY2(got->matchRows == want.matchRows, qPrintable(what));
        QVERIFY2(got->resultRows == want.resultRows, qPrintable(what));
    }
}

void FollowSearchTest::repeatedZodiacNeedsRepeatedValues() {
    // 2023101 lies in the 兔 year (its new year is day 22): with base 0, 1 and 13 are zodiac 3 and
    // 9 is zodiac 7.
    TempHistory h;
    const ValueBases bases{0, 1};
    h.appendMany(2023101,
                 {{1, 9, 13, 4, 5}, // zodiac 3 7 3 0 11: two 3s and a 7
                  {6, 7, 8, 10, 11},
                  {1, 9, 2, 4, 5}, // zodiac 3 7 2 0 11: one 3
                  {6, 7, 8, 10, 11}},
                 bases);
    QCOMPARE(h.text(2023102, "txtHisLstSx"), QString("1X03 1X07 2X03 1X00 1X11 "));
    SearchRequest r = baseRequest();
    r.bases = bases;
    r.intLei = Zodiac;
    r.intRefVal = {3, 7, 3, 0, 0};
    r.bolPosSel = {true, true, true, false, false};
    QString error;
    const auto got = runFollowSearch(h.store(), r, &error);
    QVERIFY2(got, qPrintable(error));
    QCOMPARE(got->matchRows.size(), 1);
    QCOMPARE(got->matchRows[0][0], QString("2023102"));
    QCOMPARE(got->matchRows[0][6], QString("01 09 13 04 05 "));
}

void FollowSearchTest::lagOneBeforeEqualsLastDraw() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(120, 3));
    const HistoryView view = readHistoryView(h.store());
    for (bool free : {true, false}) {
        SearchRequest r = baseRequest();
        r.bolZyw = free;
        r.intLei = Tail;
        r.intRefVal = view.rows().last().attributes.kindValues(Tail);
        r.bolPosSel = {true, false, true, false, false};
        QString error;
        const auto last = runFollowSearch(h.store(), r, &error);
        r.bolSq = false;
        r.intPreQi = 1;
        const auto back = runFollowSearch(h.store(), r, &error);
        QVERIFY(last && back);
        QCOMPARE(back->resultRows, last->resultRows);
        for (qsizetype i = 0; i < last->matchRows.size(); ++i)
            QCOMPARE(back->matchRows[i].mid(0, 6), last->matchRows[i].mid(0, 6));
        QVERIFY(!last->matchRows.isEmpty());
    }
}

void FollowSearchTest::issueRangeBoundsFollowDraws() {
    TempHistory h;
    h.appendMany(2013001, QVector<Numbers>(10, Numbers{1, 2, 3, 4, 5}));
    SearchRequest r = baseRequest();
    r.bolSq = false;
    r.intPreQi = 3;
    r.bolZyw = false;
    r.intRefVal = {1, 2, 3, 4, 5};
    r.bolPosSel = {true, false, false, false, false};
    r.startIssue = 2013004;
    r.endIssue = 2013006;
    QString error;
    auto got = runFollowSearch(h.store(), r, &error);
    QVERIFY(got);
    // Matched through 2013001..2013003, which lie outside the range themselves.
    QCOMPARE(got->matchRows.size(), 3);
    QCOMPARE(got->matchRows.first().first(), QString("2013004"));
    QCOMPARE(got->matchRows.first().last(), QString("01 02 03 04 05 "));
    QCOMPARE(got->matchHeader.last(), QString("前期开奖"));
    r.startIssue = 2013001;
    got = runFollowSearch(h.store(), r, &error);
    QCOMPARE(got->matchRows.size(), 3);
    // Rows 1..3 have no draw three before them: they compare as 0.
    r.intRefVal = {0, 2, 3, 4, 5};
    got = runFollowSearch(h.store(), r, &error);
    QCOMPARE(got->matchRows.size(), 3);
    QCOMPARE(got->matchRows.last().first(), QString("2013003"));
    QCOMPARE(got->matchRows.last().last(), QString());
}

void FollowSearchTest::percentagesAndEmptyResult() {
    QCOMPARE(percentageText(13, 200), QString("6.500%"));
    QCOMPARE(percentageText(7, 40), QString("17.500%"));
    QCOMPARE(percentageText(0, 0), QString());
    QCOMPARE(percentageText(63, 960), QString("6.563%"));
    QCOMPARE(percentageText(1, 3), QString("33.333%"));
    QCOMPARE(percentageText(5, 5), QString("100.000%"));
    // 40 follow draws holding 1 in thirteen of them: 13 of 200 values.
    TempHistory h;
    QVector<Numbers> draws;
    for (int i = 0; i < 41; ++i)
        draws << (i % 3 == 1 && i < 38 ? Numbers{1, 2, 3, 4, 5} : Numbers{6, 7, 8, 9, 10});
    h.appendMany(2013001, draws);
    SearchRequest r = baseRequest();
    r.startIssue = 2013002;
    QString error;
    auto got = runFollowSearch(h.store(), r, &error); // no position ticked: every draw
    QVERIFY(got);
    QCOMPARE(got->followDraws, 40);
    const auto one = std::find_if(got->resultRows.begin(), got->resultRows.end(),
                                  [](const QStringList& row) { return row[1] == "1"; });
    QCOMPARE((*one)[2], QString("13"));
    QCOMPARE((*one)[3], QString("6.500%"));
    // A search that finds nothing leaves no stale percentage behind.
    r.intRefVal = {15, 0, 0, 0, 0};
    r.bolPosSel[0] = true;
    got = runFollowSearch(h.store(), r, &error);
    QVERIFY(got && got->matchRows.isEmpty());
    for (const auto& row : got->resultRows) {
        QCOMPARE(row[2], QString("0"));
        QCOMPARE(row[3], QString());
    }
    QCOMPARE(got->resultRows.first()[1], QString("1")); // ties in ascending value
}

void FollowSearchTest::headAndSegmentTallies() {
    TempHistory h;
    h.appendMany(2013001, {{1, 4, 7, 10, 13}, {2, 5, 8, 11, 14}, {3, 6, 9, 12, 15}},
                 ValueBases{1, 0});
    SearchRequest r = baseRequest();
    r.bases = {1, 0};
    r.intXianshiLei = Head;
    QString error;
    auto got = runFollowSearch(h.store(), r, &error);
    QCOMPARE(got->resultRows.size(), 2);
    QCOMPARE(got->resultRows[0][1], QString("0"));
    QCOMPARE(got->resultRows[0][2].toInt() + got->resultRows[1][2].toInt(), 15);
    r.intXianshiLei = Segment;
    got = runFollowSearch(h.store(), r, &error);
    QCOMPARE(got->resultRows.size(), 5);
    QCOMPARE(got->bars.first().value, 0);
    QCOMPARE(got->bars.last().value, 4);
    for (const auto& bar : got->bars)
        QCOMPARE(bar.count, 3);
    r.intXianshiLei = Zodiac;
    got = runFollowSearch(h.store(), r, &error);
    QCOMPARE(got->bars.size(), 12);
    QCOMPARE(got->bars.first().label, QString("鼠"));
}

void FollowSearchTest::badInputChangesNothing_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<int>("lag");
    QTest::addColumn<int>("typed");
    QTest::newRow("range ending before it starts") << qint64(2099999 + 1) << 1 << 3;
    QTest::newRow("N = 0") << qint64(2013001) << 0 << 3;
    QTest::newRow("typed value outside the kind") << qint64(2013001) << 1 << 16;
}

void FollowSearchTest::badInputChangesNothing() {
    QFETCH(qint64, start);
    QFETCH(int, lag);
    QFETCH(int, typed);
    TempHistory h;
    h.appendMany(2013001, randomDraws(20, 5));
    SearchRequest r = baseRequest();
    r.bolPosSel = {true, true, false, false, false};
    r.intRefVal = {1, 2, 3, 4, 5};
    QString error;
    QVERIFY(runFollowSearch(h.store(), r, &error));
    const QString before = h.text(2013010, "intTh");
    r.startIssue = start;
    r.bolSq = lag == 1;
    r.intPreQi = lag;
    r.bolManual = true;
    r.intRefVal[0] = typed;
    r.bolPosSel = {true, false, false, false, false};
    QVERIFY(!runFollowSearch(h.store(), r, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(h.text(2013010, "intTh"), before);
}

void FollowSearchTest::emptyHistoryGivesHeadings() {
    TempHistory h;
    QString error;
    const auto got = runFollowSearch(h.store(), baseRequest(), &error);
    QVERIFY2(got, qPrintable(error));
    QCOMPARE(got->matchHeader.size(), 7);
    QVERIFY(got->matchRows.isEmpty());
    QCOMPARE(got->resultRows.size(), 15);
}

QTEST_GUILESS_MAIN(FollowSearchTest)
#include "tst_followsearch.moc"
