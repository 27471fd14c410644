#include "analysis/ChanceBaseline.h"
#include "FollowOracle.h"
#include "SearchOnStore.h"
#include "TestHistory.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <random>

using namespace quorvex;
using namespace quorvex::test;

namespace {

constexpr int kTail = 3;

// The figures straight from their definitions, over the draws of the view in the range and
// the issues of the follow draws.
struct Direct {
    double expected;
    std::optional<double> p;
};

QVector<Direct> directFigures(const HistoryView& view, const SearchRequest& r,
                              const FollowResult& got) {
    const ValueRange values = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    QSet<qint64> follow;
    for (const QStringList& row : got.matchRows)
        follow.insert(row[0].toLongLong());
    QVector<QVector<int>> perDraw(values.count()); // per value: each range draw's count
    QVector<int> counts(values.count(), 0);
    for (const StoredDraw& d : view.rows()) {
        if (d.issue < r.startIssue || d.issue > r.endIssue)
            continue;
        const auto k = d.attributes.kindValues(r.intXianshiLei);
        for (int v = values.lo; v <= values.hi; ++v) {
            const int c = int(std::count(k.begin(), k.end(), v));
            perDraw[v - values.lo] << c;
            if (follow.contains(d.issue))
                counts[v - values.lo] += c;
        }
    }
    QVector<Direct> out;
    for (int i = 0; i < values.count(); ++i) {
        const double n = perDraw[i].size();
        const double dd = follow.size();
        double mean = 0, ss = 0;
        for (int c : perDraw[i])
            mean += c / n;
        for (int c : perDraw[i])
            ss += (c - mean) * (c - mean);
        Direct f{dd * mean, std::nullopt};
        if (dd >= 20 && dd < n && ss > 1e-9) {
            const double z =
                (counts[i] - f.expected) / std::sqrt(dd * (ss / n) * (n - dd) / (n - 1));
            f.p = std::erfc(std::abs(z) / std::sqrt(2.0));
        }
        out << f;
    }
    return out;
}

// Holm written as its definition: the i-th smallest p times (m - i + 1), never below the
// previous one, at most 1.
QVector<std::optional<double>> directHolm(const QVector<Direct>& f) {
    QVector<std::optional<double>> out(f.size());
    for (qsizetype i = 0; i < f.size(); ++i) {
        if (!f[i].p)
            continue;
        double best = 0;
        for (qsizetype j = 0; j < f.size(); ++j) {
            if (!f[j].p || *f[j].p > *f[i].p)
                continue;
            qsizetype smaller = 0, m = 0;
            for (const Direct& g : f) {
                m += g.p.has_value();
                smaller += g.p && (*g.p < *f[j].p || (*g.p == *f[j].p && &g < &f[j]));
            }
            best = std::max(best, std::min(1.0, double(m - smaller) * *f[j].p));
        }
        out[i] = best;
    }
    return out;
}

// A history where a draw after one holding tail 3 (3 or 13) mostly holds tail 5 too.
QVector<Numbers> plantedDraws(int count, quint32 seed) {
    QVector<Numbers> draws = randomDraws(count, seed);
    QRandomGenerator rng(seed + 1);
    auto holds = [](const Numbers& x, int a, int b) {
        return std::find(x.begin(), x.end(), a) != x.end() ||
               std::find(x.begin(), x.end(), b) != x.end();
    };
    for (int i = 1; i < count; ++i) {
        if (!holds(draws[i - 1], 3, 13) || holds(draws[i], 5, 15) || rng.bounded(10) >= 7)
            continue;
        draws[i][rng.bounded(kPositions)] = rng.bounded(2) ? 5 : 15;
    }
    return draws;
}

} // namespace

class ChanceBaselineTest : public QObject {
    Q_OBJECT
private slots:
    void rangeStatisticsOfSmallHistory();
    void figuresWorkedByHand();
    void holmWorkedByHand();
    void significantDigits_data();
    void significantDigits();
    void agreesWithDirectFormula();
    void noTestGivesNoFigure_data();
    void noTestGivesNoFigure();
    void chanceAloneIsRarelyFlagged();
    void plantedPatternIsFlagged();
};

void ChanceBaselineTest::rangeStatisticsOfSmallHistory() {
    TempHistory h;
    // Tail 3: counts 2, 0, 0, 1; tail 5: 1, 1, 1, 1.
    h.appendMany(2013001, {{3, 13, 5, 1, 2}, {1, 2, 4, 6, 15}, {5, 7, 8, 9, 10}, {3, 5, 6, 7, 8}});
    HistorySnapshot snapshot;
    QVector<int> tails;
    for (int p = 1; p <= kPositions; ++p)
        tails << HistorySnapshot::attribute(p, kTail);
    QVERIFY(snapshot.refresh(h.store(), tails, nullptr));
    const auto s = rangeStatistics(snapshot, 2013001, 2013004, kTail, {});
    QCOMPARE(s.draws, 4);
    QCOMPARE(s.mean[3], 0.75);
    QCOMPARE(s.variance[3], 0.6875);
    QCOMPARE(s.mean[5], 1.0);
    QCOMPARE(s.variance[5], 0.0);
    // The range bounds the draws: the last two only.
    const auto part = rangeStatistics(snapshot, 2013003, 2013004, kTail, {});
    QCOMPARE(part.draws, 2);
    QCOMPARE(part.mean[3], 0.5);
    QCOMPARE(part.variance[3], 0.25);
}

void ChanceBaselineTest::figuresWorkedByHand() {
    RangeStatistics range{100, {1.0 / 3, 0.0, 0.5}, {2.0 / 9, 0.0, 0.25}};
    const QVector<FollowResult::Bar> bars{{1, "1", 15}, {2, "2", 0}, {3, "3", 10}};
    const auto b = compareWithChance(bars, 25, range);
    // E = 25/3; sd = sqrt(25 * 2/9 * 75/99) = 2.05152; z = 3.24958; p = 0.0011557.
    QVERIFY(std::abs(b[0].expected - 25.0 / 3) < 1e-12);
    QVERIFY(std::abs(*b[0].ratio - 1.8) < 1e-12);
    QVERIFY(std::abs(*b[0].z - 3.24958) < 1e-4);
    QVERIFY(std::abs(*b[0].p - 0.0011557) < 1e-6);
    // A value that never varies: no ratio against 0, no test.
    QCOMPARE(b[1].expected, 0.0);
    QVERIFY(!b[1].ratio && !b[1].p && !b[1].correctedP && !b[1].marked);
    // E = 12.5; sd = sqrt(25 * 0.25 * 75/99) = 2.17597; z = -1.14891; p = 0.25060.
    QVERIFY(std::abs(*b[2].p - 0.25060) < 1e-4);
    // Two tested values: Holm doubles the smaller p, keeps the larger.
    QVERIFY(std::abs(*b[0].correctedP - 2 * *b[0].p) < 1e-15);
    QCOMPARE(*b[2].correctedP, *b[2].p);
    QVERIFY(b[0].marked);
    QVERIFY(!b[2].marked);
    QCOMPARE(baselineCells(b[0]), QStringList({"8.333", "1.800", "0.002311", "是"}));
    QCOMPARE(baselineCells(b[1]), QStringList({"0.000", "—", "—", ""}));
}

void ChanceBaselineTest::holmWorkedByHand() {
    const auto c = holmCorrected({0.01, 0.04, 0.03, std::nullopt, 0.005});
    // Sorted 0.005, 0.01, 0.03, 0.04 times 4, 3, 2, 1: 0.02, 0.03, 0.06, 0.04 -> 0.06.
    QVERIFY(std::abs(*c[0] - 0.03) < 1e-15);
    QVERIFY(std::abs(*c[1] - 0.06) < 1e-15);
    QVERIFY(std::abs(*c[2] - 0.06) < 1e-15);
    QVERIFY(!c[3]);
    QVERIFY(std::abs(*c[4] - 0.02) < 1e-15);
    QCOMPARE(*holmCorrected({0.6, 0.7})[0], 1.0);
}

void ChanceBaselineTest::significantDigits_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << 1.0 << "1.000";
    QTest::newRow("tenths") << 0.5 << "0.5000";
    QTest::newRow("rounds up a digit") << 0.099996 << "0.1000";
    QTest::newRow("small") << 0.00042107 << "0.0004211";
    QTest::newRow("tiny") << 3.14159e-7 << "3.142e-07";
}

void ChanceBaselineTest::significantDigits() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(significantText(value), text);
}

void ChanceBaselineTest::agreesWithDirectFormula() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(300, 31));
    const HistoryView view = readHistoryView(h.store());
    QRandomGenerator rng(5);
    int tested = 0;
    for (int run = 0; run < 60; ++run) {
        SearchRequest r = baseRequest();
        r.bolZyw = rng.bounded(4) != 0;
        r.intLei = rng.bounded(6);
        r.intXianshiLei = rng.bounded(6);
        r.intRefVal = view.rows()[rng.bounded(300)].attributes.kindValues(r.intLei);
        for (int i = 0; i < kPositions; ++i)
            r.bolPosSel[i] = rng.bounded(100) < 30;
        if (rng.bounded(2)) {
            r.startIssue = 2013001 + rng.bounded(150);
            r.endIssue = r.startIssue + rng.bounded(150);
        }
        QString error;
        const auto got = runFollowSearch(h.store(), r, &error);
        QVERIFY2(got, qPrintable(error));
        const auto want = directFigures(view, r, *got);
        const auto holm = directHolm(want);
        QCOMPARE(got->baseline.size(), want.size());
        for (qsizetype i = 0; i < want.size(); ++i) {
            const auto& b = got->baseline[i];
            const QString what = QStringLiteral("run %1 value %2").arg(run).arg(got->bars[i].value);
            QVERIFY2(std::abs(b.expected - want[i].expected) < 1e-9, qPrintable(what));
            QVERIFY2(b.p.has_value() == want[i].p.has_value(), qPrintable(what));
            QVERIFY2(b.correctedP.has_value() == holm[i].has_value(), qPrintable(what));
            if (b.p) {
                ++tested;
                QVERIFY2(std::abs(*b.p - *want[i].p) < 1e-9, qPrintable(what));
                QVERIFY2(std::abs(*b.correctedP - *holm[i]) < 1e-9, qPrintable(what));
                QCOMPARE(b.marked, *holm[i] < 0.01);
            }
        }
    }
    QVERIFY2(tested > 100, "too few searches were tested to check anything");
}

void ChanceBaselineTest::noTestGivesNoFigure_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::addColumn<bool>("free");
    QTest::addColumn<bool>("noneTested");
    // Free: number 1 is in every draw, so every draw after the first follows; fixed: 15 at
    // position 1 never.
    QTest::newRow("no follow draw") << qint64(2013050) << qint64(2013099) << false << true;
    QTest::newRow("fewer than 20") << qint64(2013001) << qint64(2013019) << true << true;
    QTest::newRow("every draw follows") << qint64(2013002) << qint64(2013060) << true << true;
    QTest::newRow("no variance") << qint64(2013001) << qint64(2013060) << true << false;
}

// Number 15 never comes and number 1 always does: neither varies, so neither is tested.
void ChanceBaselineTest::noTestGivesNoFigure() {
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(bool, free);
    QFETCH(bool, noneTested);
    TempHistory h;
    QVector<Numbers> draws;
    QRandomGenerator rng(3);
    for (int d = 0; d < 60; ++d) {
        QVector<int> pool;
        for (int n = 2; n <= 14; ++n)
            pool << n;
        Numbers x{1};
        for (int i = 1; i < kPositions; ++i)
            x[i] = pool.takeAt(rng.bounded(int(pool.size())));
        draws << x;
    }
    h.appendMany(2013001, draws);
    SearchRequest r = baseRequest();
    r.startIssue = start;
    r.endIssue = end;
    r.bolZyw = free;
    r.bolManual = true;
    r.intRefVal = {free ? 1 : 15, 2, 3, 4, 5};
    r.bolPosSel = {true, false, false, false, false};
    QString error;
    const auto got = runFollowSearch(h.store(), r, &error);
    QVERIFY2(got, qPrintable(error));
    QCOMPARE(got->baseline.size(), 15);
    if (!free)
        QCOMPARE(got->followDraws, 0);
    for (qsizetype i = 0; i < got->baseline.size(); ++i) {
        const auto& b = got->baseline[i];
        if (!noneTested && i != 0 && i != 14) {
            QVERIFY(b.p.has_value());
            continue;
        }
        QVERIFY(!b.p && !b.correctedP && !b.marked);
        QCOMPARE(baselineCells(b)[2], QStringLiteral("—"));
        QCOMPARE(baselineCells(b)[3], QString());
    }
    if (noneTested)
        QCOMPARE(got->markedCount(), 0);
    // 15 never comes: nothing expected and no ratio; 1 always: expected D, ratio 1.
    QCOMPARE(got->baseline[14].expected, 0.0);
    QCOMPARE(baselineCells(got->baseline[14])[1], QStringLiteral("—"));
    QCOMPARE(got->baseline[0].expected, double(got->followDraws));
}

// On a history of independent draws every marked value is a false alarm: Holm at 0.01 keeps
// them to about one search in a hundred.
void ChanceBaselineTest::chanceAloneIsRarelyFlagged() {
    TempHistory h;
    QVector<Numbers> draws = randomDraws(400, 2024);
    std::shuffle(draws.begin(), draws.end(), std::mt19937(7));
    h.appendMany(2013001, draws);
    const HistoryView view = readHistoryView(h.store());
    QRandomGenerator rng(11);
    int flagged = 0, tested = 0;
    for (int run = 0; run < 500; ++run) {
        SearchRequest r = baseRequest();
        r.bolZyw = rng.bounded(5) != 0;
        r.bolSq = rng.bounded(3) != 0;
        r.intPreQi = 2 + rng.bounded(8);
        r.intLei = rng.bounded(6);
        r.intXianshiLei = rng.bounded(6);
        r.intRefVal = view.rows()[rng.bounded(400)].attributes.kindValues(r.intLei);
        for (int i = 0; i < kPositions; ++i)
            r.bolPosSel[i] = rng.bounded(100) < 35;
        if (rng.bounded(2)) {
            r.startIssue = 2013001 + rng.bounded(200);
            r.endIssue = r.startIssue + 100 + rng.bounded(200);
        }
        QString error;
        const auto got = runFollowSearch(h.store(), r, &error);
        QVERIFY2(got, qPrintable(error));
        tested += std::any_of(got->baseline.cbegin(), got->baseline.cend(),
                              [](const auto& b) { return b.p.has_value(); });
        flagged += got->markedCount() > 0;
    }
    qInfo("%d of 500 searches tested, %d flagged", tested, flagged);
    QVERIFY2(tested >= 250, "too few searches were tested to check anything");
    QVERIFY2(flagged <= 10, qPrintable(QString::number(flagged)));
}

void ChanceBaselineTest::plantedPatternIsFlagged() {
    TempHistory h;
    h.appendMany(2013001, plantedDraws(400, 77));
    SearchRequest r = baseRequest();
    r.intLei = kTail;
    r.intXianshiLei = kTail;
    r.bolManual = true;
    r.intRefVal = {3, 0, 0, 0, 0};
    r.bolPosSel = {true, false, false, false, false};
    QString error;
    const auto got = runFollowSearch(h.store(), r, &error);
    QVERIFY2(got, qPrintable(error));
    QVERIFY(got->followDraws >= 20);
    const auto& tail5 = got->baseline[5];
    QVERIFY(tail5.marked);
    QVERIFY(*tail5.ratio > 1.0);
    QVERIFY(*tail5.correctedP < 0.01);
}

QTEST_GUILESS_MAIN(ChanceBaselineTest)
#include "tst_chancebaseline.moc"
