#include "analysis/ChanceBaseline.h"
#include "analysis/FollowSearch.h"
#include "ChanceReference.h"
#include "FollowOracle.h"
#include "import/TextImport.h"
#include "presentation/ChanceTexts.h"
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

// The figures straight from their definitions: a fair draw under the follow draw's own zodiac
// year has m of the 15 numbers with the value, so its count of the value is hypergeometric,
// mean 5 m / 15 and variance 5 (m/15) (1 - m/15) (10/14); summed over the follow draws, z
// against the stored counts, two-sided normal p.
struct Direct {
    double expected;
    std::optional<double> p;
};

QVector<Direct> directFigures(const HistoryView& view, const SearchRequest& r,
                              const FollowResult& got) {
    const ChanceReference c = chanceReference(view, r, got);
    QVector<Direct> out;
    for (qsizetype i = 0; i < c.expected.size(); ++i)
        out << Direct{c.expected[i], c.p[i]};
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

// A history of independent draws over whole years: issues 001..365 of each year from firstYear,
// so every search meets several lunar new years.
void fillYears(TempHistory& h, int firstYear, int years, quint32 seed, const ValueBases& bases) {
    QVector<Numbers> draws = randomDraws(365 * years, seed);
    std::shuffle(draws.begin(), draws.end(), std::mt19937(seed));
    HistoryStore::Transaction t(h.store());
    for (int y = 0; y < years; ++y)
        h.appendMany(qint64(firstYear + y) * 1000 + 1, draws.mid(365 * y, 365), bases);
    QString error;
    if (!t.commit(&error))
        qFatal("cannot fill a test history: %s", qPrintable(error));
}

} // namespace

class ChanceBaselineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void perDrawExpectationIsHypergeometric_data();
    void perDrawExpectationIsHypergeometric();
    void figuresWorkedByHand();
    void holmWorkedByHand();
    void significantDigits_data();
    void significantDigits();
    void pValueForm_data();
    void pValueForm();
    void agreesWithDirectFormula();
    void noTestGivesNoFigure_data();
    void noTestGivesNoFigure();
    void chanceAloneIsRarelyFlagged_data();
    void chanceAloneIsRarelyFlagged();
    void plantedPatternIsFlagged();
};

void ChanceBaselineTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void ChanceBaselineTest::perDrawExpectationIsHypergeometric_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("base");
    QTest::addColumn<qint64>("issue");
    for (int kind = 0; kind < kKindCount; ++kind)
        for (int base = 0; base <= 1; ++base)
            for (const qint64 issue : {2018040LL, 2018048LL, 2024015LL, 2026049LL})
                QTest::addRow("kind %d base %d issue %lld", kind, base, issue)
                    << kind << base << issue;
}

// One draw's expectation against every one of the 3003 draws a fair draw can give, each
// counted once: the exact mean and variance of its count of each value.
void ChanceBaselineTest::perDrawExpectationIsHypergeometric() {
    QFETCH(int, kind);
    QFETCH(int, base);
    QFETCH(qint64, issue);
    const ValueBases bases{base, base};
    const ValueRange values = kindRange(kind, base, base);
    const ZodiacYear year(zodiacYearOfIssue(issue));
    QVector<double> sum(values.count(), 0), squares(values.count(), 0);
    const QVector<Numbers> every = everyFairDraw();
    const int draws = int(every.size());
    for (const Numbers& draw : every) {
        const auto k = deriveAttributes(draw, year, bases).kindValues(kind);
        for (int i = 0; i < values.count(); ++i) {
            const double n = double(std::count(k.begin(), k.end(), values.lo + i));
            sum[i] += n;
            squares[i] += n * n;
        }
    }
    QCOMPARE(draws, 3003);
    const FairDrawExpectation got = fairDrawExpectation({issue}, kind, bases);
    QCOMPARE(got.draws, 1);
    QCOMPARE(got.mean.size(), values.count());
    double total = 0;
    for (int i = 0; i < values.count(); ++i) {
        const double mean = sum[i] / draws;
        QVERIFY(std::abs(got.mean[i] - mean) < 1e-12);
        QVERIFY(std::abs(got.variance[i] - (squares[i] / draws - mean * mean)) < 1e-12);
        total += got.mean[i];
    }
    // Five numbers a draw, whatever the year's mapping.
    QVERIFY(std::abs(total - 5) < 1e-12);
    // D draws of one year: D times the one.
    const FairDrawExpectation many = fairDrawExpectation({issue, issue, issue}, kind, bases);
    for (int i = 0; i < values.count(); ++i)
        QVERIFY(std::abs(many.mean[i] - 3 * got.mean[i]) < 1e-12);
}

void ChanceBaselineTest::figuresWorkedByHand() {
    const FairDrawExpectation e{25, {25.0 / 3, 0.0, 12.5}, {25 * 2.0 / 9, 0.0, 25 * 0.25}};
    const QVector<FollowResult::Bar> bars{{1, "1", 15}, {2, "2", 0}, {3, "3", 10}};
    const auto b = compareWithChance(bars, e);
    // E = 25/3; sd = sqrt(50/9) = 2.35702; z = 2.82843; p = 0.0046777.
    QVERIFY(std::abs(b[0].expected - 25.0 / 3) < 1e-12);
    QVERIFY(std::abs(*b[0].ratio - 1.8) < 1e-12);
    QVERIFY(std::abs(*b[0].z - 2.82843) < 1e-4);
    QVERIFY(std::abs(*b[0].p - 0.0046777) < 1e-6);
    // A value that never varies: no ratio against 0, no test.
    QCOMPARE(b[1].expected, 0.0);
    QVERIFY(!b[1].ratio && !b[1].p && !b[1].correctedP && !b[1].marked);
    // E = 12.5; sd = 2.5; z = -1; p = 0.31731.
    QVERIFY(std::abs(*b[2].p - 0.31731) < 1e-4);
    // Two tested values: Holm doubles the smaller p, keeps the larger.
    QVERIFY(std::abs(*b[0].correctedP - 2 * *b[0].p) < 1e-15);
    QCOMPARE(*b[2].correctedP, *b[2].p);
    QVERIFY(b[0].marked);
    QVERIFY(!b[2].marked);
    QCOMPARE(baselineCells(b[0]), QStringList({"8.333", "1.800", "0.0094", "是"}));
    QCOMPARE(baselineCells(b[1]), QStringList({"0.000", "—", "—", ""}));
    // Fewer than 20 follow draws: figures, but no test.
    const auto few = compareWithChance(bars, FairDrawExpectation{19, e.mean, e.variance});
    QVERIFY(few[0].ratio && !few[0].p && !few[0].marked);
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

void ChanceBaselineTest::pValueForm_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << 1.0 << "1.0000";
    QTest::newRow("four decimals") << 0.35551 << "0.3555";
    QTest::newRow("small") << 0.00042107 << "0.0004";
    QTest::newRow("last that shows") << 0.00005 << "0.0001";
    QTest::newRow("below the form") << 0.0000499 << "<0.0001";
    QTest::newRow("tiny") << 3.14159e-7 << "<0.0001";
}

void ChanceBaselineTest::pValueForm() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(pValueText(value), text);
}

void ChanceBaselineTest::agreesWithDirectFormula() {
    TempHistory h;
    // 2017..2019: three lunar new years, at days 28, 47 and 36.
    fillYears(h, 2017, 3, 31, {});
    const HistoryView view = readHistoryView(h.store());
    QRandomGenerator rng(5);
    int tested = 0;
    for (int run = 0; run < 60; ++run) {
        SearchRequest r = baseRequest();
        r.bolZyw = rng.bounded(4) != 0;
        r.intLei = rng.bounded(6);
        r.intXianshiLei = rng.bounded(6);
        r.intRefVal = view.rows()[rng.bounded(int(view.size()))].attributes.kindValues(r.intLei);
        for (int i = 0; i < kPositions; ++i)
            r.bolPosSel[i] = rng.bounded(100) < 30;
        r.startIssue = 2017001;
        if (rng.bounded(2)) {
            r.startIssue = 2017001 + 1000 * rng.bounded(2) + rng.bounded(100);
            r.endIssue = r.startIssue + 1000 + rng.bounded(200);
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
    QTest::addColumn<bool>("tested");
    // Free: number 1 is in every draw, so every draw after the first follows; fixed: 15 at
    // position 1 never.
    QTest::newRow("no follow draw") << qint64(2013050) << qint64(2013099) << false << false;
    QTest::newRow("fewer than 20") << qint64(2013001) << qint64(2013019) << true << false;
    QTest::newRow("20 follow draws") << qint64(2013002) << qint64(2013021) << true << true;
    QTest::newRow("every draw follows") << qint64(2013002) << qint64(2013060) << true << true;
}

// Against a fair draw every value varies: whether a value is tested depends on D alone, also when
// every draw of the range follows.
void ChanceBaselineTest::noTestGivesNoFigure() {
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(bool, free);
    QFETCH(bool, tested);
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
    for (const auto& b : got->baseline) {
        QCOMPARE(b.p.has_value(), tested);
        QCOMPARE(b.correctedP.has_value(), tested);
        if (!tested) {
            QVERIFY(!b.marked);
            QCOMPARE(baselineCells(b)[2], QStringLiteral("—"));
            QCOMPARE(baselineCells(b)[3], QString());
        }
    }
    // Every number: D / 3 expected. 1 always came, 15 never.
    for (const auto& b : got->baseline)
        QVERIFY(std::abs(b.expected - double(got->followDraws) / 3) < 1e-9);
    if (got->followDraws > 0)
        QCOMPARE(*got->baseline[14].ratio, 0.0);
    if (tested)
        QVERIFY(got->baseline[0].marked);
}

void ChanceBaselineTest::chanceAloneIsRarelyFlagged_data() {
    QTest::addColumn<int>("base");
    QTest::newRow("bases 0") << 0;
    QTest::newRow("bases 1") << 1;
}

// Every marked value is a false alarm when the draws are independent: Holm at 0.01 keeps them to
// about one search in a hundred, for every result kind, also after zodiac searches, whose follow
// draws gather in the years where a zodiac holds two of the numbers. Each search has a random
// history of its own over eight years (a draw every fourth day), so the searches are
// independent trials: on one shared history, one chance imbalance of the whole would mark most
// searches at once.
void ChanceBaselineTest::chanceAloneIsRarelyFlagged() {
    QFETCH(int, base);
    const ValueBases bases{base, base};
    constexpr int kYears = 8, kPerYear = 92;
    TempHistory h;
    HistorySnapshot snapshot;
    QVector<int> columns;
    for (int c = 0; c < HistorySnapshot::kColumns; ++c)
        columns << c;
    ZodiacYear zodiacYear;
    QRandomGenerator rng(11 + quint32(base));
    std::array<int, kKindCount> flagged{}, tested{};
    for (int run = 0; run < 500; ++run) {
        const QVector<Numbers> numbers = randomDraws(kYears * kPerYear, rng.generate());
        QVector<ImportedDraw> draws;
        for (int y = 0; y < kYears; ++y)
            for (int s = 0; s < kPerYear; ++s)
                draws.append({qint64(2016 + y) * 1000 + 1 + 4 * s, numbers[y * kPerYear + s],
                              int(draws.size()) + 1});
        QString error;
        QVERIFY2(replaceHistory(h.store(), draws, bases, zodiacYear, &error), qPrintable(error));
        QVERIFY2(snapshot.refresh(h.store(), columns, &error), qPrintable(error));

        SearchRequest r = baseRequest();
        r.bases = bases;
        r.bolZyw = rng.bounded(5) != 0;
        r.bolSq = rng.bounded(3) != 0;
        r.intPreQi = 2 + rng.bounded(8);
        // Zodiac searches half the time: theirs are the follow draws that gather in some years.
        r.intLei = rng.bounded(2) ? int(Zodiac) : rng.bounded(kKindCount);
        const qsizetype reference = rng.bounded(int(snapshot.rows()));
        for (int i = 0; i < kPositions; ++i) {
            r.intRefVal[i] = snapshot.value(HistorySnapshot::attribute(i + 1, r.intLei), reference);
            r.bolPosSel[i] = rng.bounded(100) < 35;
        }
        r.startIssue = 2016001 + 1000 * rng.bounded(3);
        for (int kind = 0; kind < kKindCount; ++kind) {
            r.intXianshiLei = kind;
            const FollowResult got = followSearch(snapshot, r);
            tested[kind] += std::any_of(got.baseline.cbegin(), got.baseline.cend(),
                                        [](const auto& b) { return b.p.has_value(); });
            flagged[kind] += got.markedCount() > 0;
        }
    }
    for (int kind = 0; kind < kKindCount; ++kind) {
        qInfo("result kind %d: %d of 500 searches tested, %d flagged", kind, tested[kind],
              flagged[kind]);
        QVERIFY2(tested[kind] >= 250, "too few searches were tested to check anything");
        QVERIFY2(flagged[kind] <= 10, qPrintable(QString::number(flagged[kind])));
    }
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
