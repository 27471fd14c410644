#include "FollowOracle.h"
#include "TestHistory.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

class CombinationSearchTest : public QObject {
    Q_OBJECT
private slots:
    void agreesWithIndependentAnswer();
    void fiveOfFiveIsTheFollowSearchWithEveryPosition();
    void oneOfFiveIsAnySinglePosition();
    void repeatedZodiacGroupNeedsItTwice();
    void headsOfThree();
    void fixedPairAtTwoAndFive();
    void kOutsideOneToFiveIsRefused();
};

void CombinationSearchTest::agreesWithIndependentAnswer() {
    TempHistory h;
    const ValueBases bases{0, 0};
    h.appendMany(2013030, randomDraws(240, 11), bases);
    const HistoryView view = readHistoryView(h.store());
    QRandomGenerator rng(4242);
    for (int run = 0; run < 150; ++run) {
        SearchRequest r = baseRequest();
        r.bases = bases;
        r.bolZyw = rng.bounded(2);
        r.bolSq = rng.bounded(2);
        r.intPreQi = 1 + rng.bounded(9);
        r.intLei = rng.bounded(6);
        r.intXianshiLei = rng.bounded(6);
        r.intRefVal = view.rows()[rng.bounded(int(view.size()))].attributes.kindValues(r.intLei);
        for (int i = 0; i < kPositions; ++i)
            r.bolPosSel[i] = rng.bounded(2); // ignored by the combination search
        const int k = 1 + rng.bounded(5);
        QString error;
        const auto got = runCombinationSearch(h.store(), r, k, &error);
        QVERIFY2(got, qPrintable(error));
        const FollowResult want = expectedResult(
            view, r, [&](qsizetype at) { return combinationMatches(view, r, k, at); });
        const QString what = QStringLiteral("run %1 k %2 zyw %3 sq %4 N %5 kind %6")
                                 .arg(run)
                                 .arg(k)
                                 .arg(r.bolZyw)
                                 .arg(r.bolSq)
                                 .arg(r.intPreQi)
                                 .arg(r.intLei);
        QVERIFY2(got->matchRows == want.matchRows, qPrintable(what));
        QVERIFY2(got->resultRows == want.resultRows, qPrintable(what));
    }
}

void CombinationSearchTest::fiveOfFiveIsTheFollowSearchWithEveryPosition() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(300, 21));
    const HistoryView view = readHistoryView(h.store());
    for (int kind : {Zodiac, Head, Tail, DigitSum, Segment}) {
        for (bool free : {true, false}) {
            SearchRequest r = baseRequest();
            r.intLei = kind;
            r.bolZyw = free;
            r.intRefVal = view.rows()[200].attributes.kindValues(kind);
            r.bolPosSel.fill(true);
            QString error;
            const auto follow = runFollowSearch(h.store(), r, &error);
            r.bolPosSel.fill(false);
            const auto combo = runCombinationSearch(h.store(), r, 5, &error);
            QVERIFY(follow && combo);
            QCOMPARE(combo->matchRows, follow->matchRows);
        }
    }
}

void CombinationSearchTest::oneOfFiveIsAnySinglePosition() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(200, 8));
    const HistoryView view = readHistoryView(h.store());
    SearchRequest r = baseRequest();
    r.bolZyw = false;
    r.intLei = Tail;
    r.intRefVal = view.rows().last().attributes.kindValues(Tail);
    QString error;
    QSet<QString> single;
    for (int p = 0; p < kPositions; ++p) {
        r.bolPosSel.fill(false);
        r.bolPosSel[p] = true;
        const auto follow = runFollowSearch(h.store(), r, &error);
        QVERIFY2(follow, qPrintable(error));
        for (const auto& row : follow->matchRows)
            single.insert(row[0]);
    }
    const auto combo = runCombinationSearch(h.store(), r, 1, &error);
    QSet<QString> got;
    for (const auto& row : combo->matchRows)
        got.insert(row[0]);
    QCOMPARE(got, single);
    QCOMPARE(combo->followDraws, got.size()); // a draw passing several groups counts once
}

void CombinationSearchTest::repeatedZodiacGroupNeedsItTwice() {
    // 2023101 lies in the 兔 year (its new year is day 22): with base 0, 1 and 13 are zodiac 3, 9
    // is 7, 6 is 10, 8 is 8.
    TempHistory h;
    const ValueBases bases{0, 1};
    h.appendMany(2023101,
                 {{1, 6, 8, 4, 5}, // zodiac 3 10 8 0 11: one 3
                  {2, 7, 10, 11, 12},
                  {1, 6, 13, 4, 5}, // zodiac 3 10 3 0 11: two 3s
                  {2, 7, 10, 11, 12}},
                 bases);
    SearchRequest r = baseRequest();
    r.bases = bases;
    r.intLei = Zodiac;
    r.intRefVal = {3, 7, 3, 11, 5};
    QString error;
    // Only group {1,3} can pass on these draws (7, 5 never occur; {1,4}/{3,4} need 3 and 11,
    // and 11 occurs in both).
    auto got = runCombinationSearch(h.store(), r, 2, &error);
    QVERIFY2(got, qPrintable(error));
    QStringList issues;
    for (const auto& row : got->matchRows)
        issues << row[0];
    QCOMPARE(issues, (QStringList{"2023102", "2023104"}));
    r.intRefVal = {3, 1, 3, 1, 1}; // zodiac 1 (numbers 3, 15) is in none of the draws
    got = runCombinationSearch(h.store(), r, 2, &error);
    QCOMPARE(got->matchRows.size(), 1); // {1,3} needs 03 twice: only after 2023103
    QCOMPARE(got->matchRows[0][0], QString("2023104"));
}

void CombinationSearchTest::headsOfThree() {
    TempHistory h;
    h.appendMany(2013001, {{1, 2, 3, 10, 11},    // heads 0 0 0 1 1: every group
                           {10, 11, 12, 13, 14}, // heads 1 1 1 1 1: no group holds three
                           {1, 10, 11, 12, 13},  // one 0, four 1s: {1,3,5}
                           {1, 2, 3, 4, 10},     // four 0s, one 1: {1,2,4}
                           {10, 11, 12, 13, 14}});
    SearchRequest r = baseRequest();
    r.intLei = Head;
    r.intRefVal = {0, 0, 1, 0, 1};
    QString error;
    const auto got = runCombinationSearch(h.store(), r, 3, &error);
    QStringList issues;
    for (const auto& row : got->matchRows)
        issues << row[0];
    // {1,2,4} needs three heads 0 (token 3X0); {1,3,5} one 0 and two 1s.
    QCOMPARE(issues, (QStringList{"2013002", "2013004", "2013005"}));
}

void CombinationSearchTest::fixedPairAtTwoAndFive() {
    TempHistory h;
    h.appendMany(2013001, {{1, 2, 3, 4, 5},
                           {6, 7, 8, 9, 10},
                           {1, 2, 3, 14, 15},
                           {6, 7, 8, 9, 10},
                           {11, 2, 12, 13, 5},
                           {6, 7, 8, 9, 10}});
    SearchRequest r = baseRequest();
    r.bolZyw = false;
    r.intRefVal = {9, 2, 9, 9, 5};
    QString error;
    const auto got = runCombinationSearch(h.store(), r, 2, &error);
    QStringList issues;
    for (const auto& row : got->matchRows)
        issues << row[0];
    QCOMPARE(issues, (QStringList{"2013002", "2013006"})); // 2013003 holds position 2 only
}

void CombinationSearchTest::kOutsideOneToFiveIsRefused() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(10, 2));
    SearchRequest r = baseRequest();
    QString error;
    QVERIFY(runCombinationSearch(h.store(), r, 1, &error));
    for (int k : {0, 6, -3}) {
        QVERIFY(!runCombinationSearch(h.store(), r, k, &error));
        QVERIFY(error.contains("1到5"));
    }
}

QTEST_GUILESS_MAIN(CombinationSearchTest)
#include "tst_combinationsearch.moc"
