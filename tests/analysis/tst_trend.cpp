// The trend and omission figures and what a fair draw gives them, each against a count written
// plainly here: every draw derived on its own, every omission counted back draw by draw, every
// chance of absence enumerated over the 3,003 possible draws.
#include "analysis/FairOmission.h"
#include "analysis/TrendFigures.h"
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
    int draws = 0;
    for (int a = 1; a <= 15; ++a)
        for (int b = a + 1; b <= 15; ++b)
            for (int c = b + 1; c <= 15; ++c)
                for (int d = c + 1; d <= 15; ++d)
                    for (int e = d + 1; e <= 15; ++e) {
                        const auto values =
                            deriveAttributes({a, b, c, d, e}, zodiac, bases).kindValues(kind);
                        ++draws;
                        for (int v = range.lo; v <= range.hi; ++v)
                            without[v - range.lo] +=
                                std::count(values.begin(), values.end(), v) == 0;
                    }
    QVector<double> q;
    for (const int w : without)
        q << double(w) / draws;
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
    void refusalsSayWhy_data();
    void refusalsSayWhy();
    void longestMissRunMatchesEveryPattern_data();
    void longestMissRunMatchesEveryPattern();
    void longStretchesMatchTheChain_data();
    void longStretchesMatchTheChain();
    void rareOmissionsAreRareUnderFairDraws();

private:
    QTemporaryDir settings_;
};

void TrendTest::initTestCase() {
    isolateSettings(settings_.path());
}

void TrendTest::figuresMatchAPlainCount_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("sxIni");
    QTest::addColumn<int>("dsIni");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    for (int kind = 0; kind < kKindCount; ++kind)
        for (int bases = 0; bases < 4; ++bases) {
            const quint32 seed = quint32(10 * kind + bases);
            // Whole history, the last N, and a range that starts and ends inside years.
            const int form = (kind + bases) % 3;
            QTest::addRow("%s, bases %d/%d, %s", qPrintable(kindCaption(kind)), bases / 2,
                          bases % 2,
                          form == 0   ? "all"
                          : form == 1 ? "last 150"
                                      : "range")
                << kind << bases / 2 << bases % 2 << seed << qint64(form == 1 ? 150 : 0)
                << qint64(form == 2 ? 2020017 : 0) << qint64(form == 2 ? 2024033 : 0);
        }
}

void TrendTest::figuresMatchAPlainCount() {
    QFETCH(int, kind);
    QFETCH(int, sxIni);
    QFETCH(int, dsIni);
    QFETCH(quint32, seed);
    QFETCH(qint64, last);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    const ValueBases bases{sxIni, dsIni};
    const QVector<Draw> all = randomDraws(7, seed);
    TempHistory history;
    store(history, all);
    HistorySnapshot snapshot;
    SearchSession session(history.store(), snapshot);
    Settings s;
    s.SxIni = sxIni;
    s.DsIni = dsIni;
    session.setSettings(s);
    QVERIFY(session.historyChanged());
    SearchSession::TrendRange range;
    if (last)
        range.lastIssues = last;
    if (from)
        range = {std::nullopt, from, to};
    const auto got = session.runTrend(kind, range);
    QVERIFY2(got, qPrintable(got ? QString() : got.refusal().text));

    QVector<Draw> draws;
    for (const Draw& d : all)
        if ((!from || (d.issue >= from && d.issue <= to)))
            draws << d;
    if (last)
        draws = draws.mid(draws.size() - last);
    QCOMPARE(got->rows(), draws.size());
    const ValueRange values = kindRange(kind, sxIni, dsIni);
    QCOMPARE(got->valueCount(), values.count());
    const QVector<FairValueFigures> fair = fairOmission(*got);

    // Each draw derived on its own under its zodiac year; the chances of absence enumerated per
    // year.
    QVector<std::array<int, kPositions>> derived;
    QVector<int> years;
    std::map<int, QVector<double>> absence;
    for (const Draw& d : draws) {
        years << zodiacYearOfIssue(d.issue);
        derived << deriveAttributes(d.numbers, ZodiacYear(years.last()), bases).kindValues(kind);
        if (!absence.count(years.last()))
            absence[years.last()] = enumeratedAbsence(kind, years.last(), bases);
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

void TrendTest::refusalsSayWhy_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<int>("refusal");
    const int bad = int(SearchRefusal::Kind::BadRequest);
    QTest::newRow("empty history") << 0 << qint64(0) << qint64(0) << qint64(0) << true
                                   << int(SearchRefusal::Kind::EmptyHistory);
    QTest::newRow("kind 6") << 6 << qint64(0) << qint64(0) << qint64(0) << false << bad;
    QTest::newRow("last 0") << 0 << qint64(0) << qint64(0) << qint64(0) << false << bad;
    QTest::newRow("backwards") << 1 << qint64(-1) << qint64(2021010) << qint64(2020010) << false
                               << bad;
    QTest::newRow("after the history")
        << 2 << qint64(-1) << qint64(2030001) << qint64(2030100) << false << bad;
    QTest::newRow("between years")
        << 3 << qint64(-1) << qint64(2019061) << qint64(2019999) << false << bad;
}

// A refused trend says why in one text and leaves the snapshot as the history is.
void TrendTest::refusalsSayWhy() {
    QFETCH(int, kind);
    QFETCH(qint64, last);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(bool, empty);
    QFETCH(int, refusal);
    TempHistory history;
    if (!empty)
        store(history, randomDraws(2, 5));
    HistorySnapshot snapshot;
    SearchSession session(history.store(), snapshot);
    QVERIFY(session.historyChanged());
    SearchSession::TrendRange range;
    if (last >= 0 && !from)
        range.lastIssues = last;
    if (from)
        range = {std::nullopt, from, to};
    const auto got = session.runTrend(kind, range);
    QVERIFY(!got);
    QCOMPARE(int(got.refusal().kind), refusal);
    QVERIFY(!got.refusal().text.isEmpty());
}

void TrendTest::longestMissRunMatchesEveryPattern_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 6; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

// Against every one of the 2^N patterns of hits and misses, with stretches of their own chances.
void TrendTest::longestMissRunMatchesEveryPattern() {
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    std::vector<AbsentRun> runs;
    QVector<double> q;
    while (q.size() < 16) {
        const AbsentRun r{1 + random.bounded(4), 0.05 + 0.9 * random.generateDouble()};
        runs.push_back(r);
        for (qint64 i = 0; i < r.draws; ++i)
            q << r.chance;
    }
    const int n = int(q.size());
    double expected = 0;
    for (quint32 pattern = 0; pattern < (1u << n); ++pattern) {
        double p = 1;
        int run = 0, longest = 0;
        for (int t = 0; t < n; ++t) {
            const bool miss = pattern & (1u << t);
            p *= miss ? q[t] : 1 - q[t];
            run = miss ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        expected += p * longest;
    }
    QVERIFY2(qAbs(expectedLongestMissRun(runs) - expected) < 1e-10,
             qPrintable(
                 QStringLiteral("%1 against %2").arg(expectedLongestMissRun(runs)).arg(expected)));
}

void TrendTest::longStretchesMatchTheChain_data() {
    QTest::addColumn<QVector<qint64>>("draws");
    QTest::addColumn<QVector<double>>("chances");
    QTest::newRow("one chance") << QVector<qint64>{2500} << QVector<double>{2.0 / 3};
    QTest::newRow("years of two chances")
        << QVector<qint64>{900, 365, 1100, 40, 700}
        << QVector<double>{2.0 / 3, 0.4286, 2.0 / 3, 0.4286, 0.2637};
    QTest::newRow("rare misses") << QVector<qint64>{1500, 1500} << QVector<double>{0.04, 0.002};
}

// Long stretches of one chance, where the chain is carried to a stretch's end in one step.
void TrendTest::longStretchesMatchTheChain() {
    QFETCH(QVector<qint64>, draws);
    QFETCH(QVector<double>, chances);
    std::vector<AbsentRun> runs;
    QVector<double> q;
    for (qsizetype i = 0; i < draws.size(); ++i) {
        runs.push_back({draws[i], chances[i]});
        q << QVector<double>(draws[i], chances[i]);
    }
    const double chain = chainLongestMissRun(q);
    QVERIFY2(
        qAbs(expectedLongestMissRun(runs) - chain) < 1e-9,
        qPrintable(QStringLiteral("%1 against %2").arg(expectedLongestMissRun(runs)).arg(chain)));
}

// Under fair draws, a chance of the current omission below 0.01 comes to at most about 1 % of
// values; the ranges end 50 draws apart so that their current omissions hardly overlap.
void TrendTest::rareOmissionsAreRareUnderFairDraws() {
    TempHistory history;
    QRandomGenerator random(20240601);
    QVector<Draw> draws;
    for (int d = 0; d < 12000; ++d) {
        QList<int> pool;
        for (int n = 1; n <= 15; ++n)
            pool << n;
        Numbers n{};
        for (int& x : n)
            x = pool.takeAt(random.bounded(int(pool.size())));
        draws.append({2001001 + d, n});
    }
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
