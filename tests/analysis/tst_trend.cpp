// The trend and omission figures and what a fair draw gives them, each against a count written
// plainly here: every draw derived on its own, every omission counted back draw by draw, every
// chance of absence enumerated over the 3,003 possible draws.
#include "analysis/FairOmission.h"
#include "analysis/TrendFigures.h"
#include "ChanceReference.h"
#include "session/SearchSession.h"
#include "TestHistory.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <map>
#include <numeric>

using namespace quorvex;
using namespace quorvex::test;

namespace {

// The share of the 3,003 draws of five different numbers of 1..15 in which no number has each
// value of the kind, in that zodiac year under the bases; indexed by value - lowest value.
QVector<double> enumeratedAbsence(int kind, int year, const ValueBases& bases) {
    const ZodiacYear zodiac(year);
    const ValueRange range = kindRange(kind, bases.sxIni, bases.dsIni);
    QVector<int> without(range.count(), 0);
    const QVector<Numbers> draws = everyFairDraw();
    for (const Numbers& draw : draws) {
        const auto values = deriveAttributes(draw, zodiac, bases).kindValues(kind);
        for (int v = range.lo; v <= range.hi; ++v)
            without[v - range.lo] += std::count(values.begin(), values.end(), v) == 0;
    }
    QVector<double> q;
    for (const int w : without)
        q << double(w) / double(draws.size());
    return q;
}

// Every expected longest run of misses by the plainest chain: the chance of each current run
// length 0..k-1 carried draw by draw, for every k until the chance of reaching k is negligible.
double chainLongestMissRun(const QVector<double>& q) {
    double expected = 0;
    std::vector<double> state, next;
    for (int k = 1; k <= q.size(); ++k) {
        state.assign(std::size_t(k), 0);
        state[0] = 1;
        for (const double miss : q) {
            next.assign(std::size_t(k), 0);
            for (int j = 0; j < k; ++j) {
                next[0] += state[j] * (1 - miss);
                if (j + 1 < k)
                    next[j + 1] += state[j] * miss;
            }
            state.swap(next);
        }
        const double atLeast = 1 - std::accumulate(state.begin(), state.end(), 0.0);
        if (atLeast < 1e-13)
            break;
        expected += atLeast;
    }
    return expected;
}

struct Draw {
    qint64 issue;
    Numbers numbers;
};

// Sixty issues a year from 2019 on: every year's lunar new year cut-off falls among them.
QVector<Draw> randomDraws(int years, quint32 seed) {
    QRandomGenerator random(seed);
    QVector<Draw> draws;
    for (int y = 0; y < years; ++y)
        for (int s = 1; s <= 60; ++s) {
            QList<int> pool;
            for (int n = 1; n <= 15; ++n)
                pool << n;
            Numbers n{};
            for (int& x : n)
                x = pool.takeAt(random.bounded(int(pool.size())));
            draws.append({(2019 + y) * 1000 + s, n});
        }
    return draws;
}

void store(TempHistory& history, const QVector<Draw>& draws) {
    HistoryStore::Transaction transaction(history.store());
    for (const Draw& d : draws)
        history.append(d.issue, d.numbers);
    QString error;
    QVERIFY2(transaction.commit(&error), qPrintable(error));
}

} // namespace

class TrendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void figuresMatchAPlainCount_data();
    void figuresMatchAPlainCount();
    void longestMissRunMatchesEveryPatternOrTheChain_data();
    void longestMissRunMatchesEveryPatternOrTheChain();
    void rareOmissionsAreRareUnderFairDraws();

private:
    QTemporaryDir settings_;
};

void TrendTest::initTestCase() {
    isolateSettings(settings_.path());
}

void TrendTest::figuresMatchAPlainCount_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("bases"); // SxIni * 2 + DsIni
    QTest::addColumn<int>("range"); // 0 all, 1 the last 150, 2 from and to inside years
    for (int kind = 0; kind < kKindCount; ++kind)
        for (int bases = 0; bases < 4; ++bases)
            QTest::addRow("%s, bases %d/%d, range %d", qPrintable(kindCaption(kind)), bases / 2,
                          bases % 2, (kind + bases) % 3)
                << kind << bases << (kind + bases) % 3;
}

void TrendTest::figuresMatchAPlainCount() {
    QFETCH(int, kind);
    QFETCH(int, bases);
    QFETCH(int, range);
    // The zodiac's over more than twelve years, so its table comes round again.
    const QVector<Draw> all = randomDraws(kind == Zodiac ? 14 : 7, quint32(10 * kind + bases));
    TempHistory history;
    store(history, all);
    HistorySnapshot snapshot;
    SearchSession session(history.store(), snapshot);
    Settings settings;
    settings.SxIni = bases / 2;
    settings.DsIni = bases % 2;
    session.setSettings(settings);
    QVERIFY(session.historyChanged());
    const qint64 from = 2020017, to = kind == Zodiac ? 2032033 : 2024033;
    SearchSession::TrendRange asked;
    if (range == 1)
        asked.lastIssues = 150;
    if (range == 2)
        asked = {std::nullopt, from, to};
    const auto got = session.runTrend(kind, asked);
    QVERIFY2(got, qPrintable(got ? QString() : got.refusal().text));

    QVector<Draw> draws;
    for (const Draw& d : all)
        if (range != 2 || (d.issue >= from && d.issue <= to))
            draws << d;
    if (range == 1)
        draws = draws.mid(draws.size() - 150);
    QCOMPARE(got->rows(), draws.size());
    const ValueRange values = kindRange(kind, settings.SxIni, settings.DsIni);
    QCOMPARE(got->valueCount(), values.count());
    const QVector<FairValueFigures> fair = fairOmission(*got);
    const OmissionOdds odds(*got);

    // Each draw derived on its own under its zodiac year; the chances of absence enumerated per
    // year.
    QVector<std::array<int, kPositions>> derived;
    QVector<int> years;
    std::map<int, QVector<double>> absence;
    for (const Draw& d : draws) {
        years << zodiacYearOfIssue(d.issue);
        const ValueBases b{settings.SxIni, settings.DsIni};
        derived << deriveAttributes(d.numbers, ZodiacYear(years.last()), b).kindValues(kind);
        if (!absence.count(years.last()))
            absence[years.last()] = enumeratedAbsence(kind, years.last(), b);
    }
    for (int v = values.lo; v <= values.hi; ++v) {
        const int i = v - values.lo;
        QVector<bool> came;
        QVector<double> q;
        for (qsizetype r = 0; r < draws.size(); ++r) {
            const int times = int(std::count(derived[r].begin(), derived[r].end(), v));
            came << (times > 0);
            q << absence[years[r]][i];
            QCOMPARE(got->issues[std::size_t(r)], draws[r].issue);
            QCOMPARE(got->drawnCount(r, i), times);
            QCOMPARE(got->drawValues(r), derived[r]);
        }
        // Omissions counted back from each draw to the last that gave v, or the range's start.
        qint64 times = 0, longestOmission = 0, longestRun = 0, omission = 0;
        for (qsizetype r = 0; r < draws.size(); ++r) {
            omission = 0;
            for (qsizetype b = r; b >= 0 && !came[b]; --b)
                ++omission;
            QCOMPARE(got->omission(r, i), omission);
            double missed = 1;
            for (qsizetype b = r; b > r - omission; --b)
                missed *= q[b];
            QVERIFY(qAbs(odds.chance(r, i) - missed) <= 1e-12 * missed + 1e-300);
            longestOmission = std::max(longestOmission, omission);
            times += came[r];
            qint64 run = 0;
            for (qsizetype b = r; b >= 0 && came[b]; --b)
                ++run;
            longestRun = std::max(longestRun, run);
        }
        const ValueTrend& t = got->summary[i];
        QCOMPARE(t.times, times);
        QCOMPARE(t.currentOmission, omission);
        QCOMPARE(t.longestOmission, longestOmission);
        QCOMPARE(t.longestRun, longestRun);
        QCOMPARE(t.meanOmission, double(draws.size() - times) / double(times + 1));

        double expectedTimes = 0, chance = 1;
        for (qsizetype r = 0; r < draws.size(); ++r) {
            expectedTimes += 1 - q[r];
            if (r >= draws.size() - omission)
                chance *= q[r];
        }
        QVERIFY(qAbs(fair[i].expectedTimes - expectedTimes) < 1e-9);
        QVERIFY(qAbs(fair[i].currentOmissionChance - chance) <
                1e-12 * std::max(chance, 1e-300) + 1e-300);
        QVERIFY2(qAbs(fair[i].expectedLongestOmission - chainLongestMissRun(q)) < 1e-9,
                 qPrintable(QString::number(v)));
    }
}

void TrendTest::longestMissRunMatchesEveryPatternOrTheChain_data() {
    QTest::addColumn<QVector<qint64>>("draws");
    QTest::addColumn<QVector<double>>("chances");
    QRandomGenerator random(7);
    for (int row = 0; row < 6; ++row) {
        QVector<qint64> draws;
        QVector<double> chances;
        for (qint64 n = 0; n < 16; n += draws.last()) {
            draws << std::min<qint64>(1 + random.bounded(4), 16 - n);
            chances << 0.05 + 0.9 * random.generateDouble();
        }
        QTest::addRow("16 draws, %d", row) << draws << chances;
    }
    // Long stretches of one chance, which the chain crosses in one step once it settles.
    QTest::newRow("one chance") << QVector<qint64>{2500} << QVector<double>{2.0 / 3};
    QTest::newRow("years of three chances")
        << QVector<qint64>{900, 365, 1100, 40, 700}
        << QVector<double>{2.0 / 3, 0.4286, 2.0 / 3, 0.4286, 0.2637};
    QTest::newRow("passages met again")
        << QVector<qint64>{600, 400, 600, 400, 600, 400, 30, 600}
        << QVector<double>{2.0 / 3, 0.4286, 2.0 / 3, 0.4286, 2.0 / 3, 0.4286, 2.0 / 3, 0.4286};
    QTest::newRow("rare misses") << QVector<qint64>{1500, 1500} << QVector<double>{0.04, 0.002};
}

// Up to 16 draws against every pattern of hits and misses, longer ones against the plain chain.
void TrendTest::longestMissRunMatchesEveryPatternOrTheChain() {
    QFETCH(QVector<qint64>, draws);
    QFETCH(QVector<double>, chances);
    std::vector<AbsentRun> runs;
    QVector<double> q;
    for (qsizetype i = 0; i < draws.size(); ++i) {
        runs.push_back({draws[i], chances[i]});
        q << QVector<double>(draws[i], chances[i]);
    }
    double expected = 0;
    if (q.size() > 16)
        expected = chainLongestMissRun(q);
    for (quint32 pattern = 0; q.size() <= 16 && pattern < (1u << q.size()); ++pattern) {
        double p = 1;
        int run = 0, longest = 0;
        for (int t = 0; t < q.size(); ++t) {
            const bool miss = pattern & (1u << t);
            p *= miss ? q[t] : 1 - q[t];
            run = miss ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        expected += p * longest;
    }
    const double got = expectedLongestMissRun(runs);
    QVERIFY2(qAbs(got - expected) < 1e-9,
             qPrintable(QStringLiteral("%1, not %2").arg(got).arg(expected)));
}

// Under fair draws, a chance of the current omission below 0.01 comes to at most about 1 % of
// values; the ranges end 50 draws apart so that their current omissions hardly overlap.
void TrendTest::rareOmissionsAreRareUnderFairDraws() {
    TempHistory history;
    const QVector<Draw> draws = randomDraws(200, 20240601);
    store(history, draws);
    HistorySnapshot snapshot;
    QString error;
    QVERIFY2(snapshot.refresh(history.store(), trendColumns(), &error), qPrintable(error));
    qint64 values = 0, rare = 0;
    for (int end = 300; end < draws.size(); end += 50)
        for (int kind = 0; kind < kKindCount; ++kind) {
            const TrendRequest request{kind, {}, draws[end - 300].issue, draws[end].issue};
            const auto trend = trendFigures(snapshot, request, &error);
            QVERIFY2(trend, qPrintable(error));
            for (const FairValueFigures& f : fairOmission(*trend)) {
                ++values;
                rare += f.currentOmissionChance < 0.01;
            }
        }
    const double share = double(rare) / double(values);
    QVERIFY2(share <= 0.02 && share >= 0.002,
             qPrintable(QStringLiteral("%1 of %2 values").arg(rare).arg(values)));
}

QTEST_GUILESS_MAIN(TrendTest)
#include "tst_trend.moc"
