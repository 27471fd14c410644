// The backtest against the naive loop of ordinary searches, one per issue as the verification
// tab runs them, and against chance.
#include "FollowOracle.h"
#include "TestHistory.h"

#include "analysis/Backtest.h"
#include "analysis/BacktestCurves.h"
#include "presentation/BacktestGridTexts.h"
#include "presentation/RunCaption.h"
#include "session/SearchSession.h"

#include <QRandomGenerator>

#include <functional>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

namespace {

// Draws over several years, each year with `perYear` issues (more than 359 reach past the issue
// the verification tab falls back to after an issue ending in 001).
void appendYears(TempHistory& h, int firstYear, int years, int perYear, quint32 seed,
                 const ValueBases& bases,
                 const std::function<void(QVector<Numbers>&)>& plant = {}) {
    QVector<Numbers> draws = randomDraws(years * perYear, seed);
    if (plant)
        plant(draws);
    HistoryStore::Transaction transaction(h.store());
    for (int i = 0; i < draws.size(); ++i)
        h.append(qint64(firstYear + i / perYear) * 1000 + i % perYear + 1, draws[i], bases);
    QVERIFY(transaction.commit(nullptr));
}

BacktestRequest randomRequest(QRandomGenerator& rng, const HistoryView& view, int issues) {
    BacktestRequest b;
    SearchRequest& r = b.search;
    r.bolZyw = rng.bounded(2) == 0;
    r.bolSq = rng.bounded(2) == 0;
    r.intPreQi = 1 + rng.bounded(9);
    r.intLei = rng.bounded(kKindCount);
    r.intXianshiLei = rng.bounded(kKindCount);
    for (bool& ticked : r.bolPosSel)
        ticked = rng.bounded(3) != 0;
    r.startIssue = view.rows()[rng.bounded(3)].issue;
    b.combinedPositions = rng.bounded(3) == 0 ? 1 + rng.bounded(5) : 0;
    b.topK = 1 + rng.bounded(4);
    b.lastIssue = view.last()->issue;
    b.firstIssue = view.rows()[view.size() - issues].issue;
    return b;
}

struct Naive {
    bool searched = false;
    QVector<int> top;
    int hits = 0;
};

// A session with the backtest's options, as the window would hold them.
void applyOptions(SearchSession& session, const BacktestRequest& b) {
    Settings settings;
    const SearchRequest& r = b.search;
    settings.bolZyw = r.bolZyw;
    settings.bolSq = r.bolSq;
    settings.intPreQi = r.intPreQi;
    settings.intLei = r.intLei;
    settings.intXianshiLei = r.intXianshiLei;
    settings.SxIni = r.bases.sxIni;
    settings.DsIni = r.bases.dsIni;
    settings.intZhWSetup = b.combinedPositions == 0 ? 2 : b.combinedPositions;
    session.setSettings(settings);
    session.historyChanged();
}

// The ordinary search the verification tab with "only before" runs for one issue.
Naive naiveSearch(SearchSession& session, const HistoryView& view, const BacktestRequest& b,
                  qsizetype at) {
    const QString issue = QString::number(view.rows()[at].issue);
    QString error;
    Naive out;
    if (!session.setOnlyBefore(true, issue, &error) || !session.setVerificationIssue(issue, &error))
        return out;
    session.setReferenceSource(ReferenceSource::Verification);
    const SearchRequest request = session.request(b.search.bolPosSel, b.search.startIssue);
    const auto result =
        b.combinedPositions == 0 ? session.runFollow(request) : session.runCombination(request);
    if (!result)
        return out;
    out.searched = true;
    for (int i = 0; i < b.topK && i < result->resultBars.size(); ++i)
        out.top << result->bars[result->resultBars[i]].value;
    for (const int v : view.rows()[at].attributes.kindValues(b.search.intXianshiLei))
        out.hits += out.top.contains(v) ? 1 : 0;
    return out;
}

std::optional<BacktestResult> backtest(HistoryStore& store, const BacktestRequest& b) {
    HistorySnapshot snapshot;
    QString error;
    if (!snapshot.refresh(store, backtestColumns(b), &error))
        return std::nullopt;
    return runBacktest(snapshot, b, {});
}

// A fair draw's expected hits for the values, straight from the definition: five of the fifteen
// numbers, M of which hold one of the values.
double directExpected(qint64 issue, int kind, const ValueBases& bases, const QVector<int>& top) {
    const ZodiacYear year(zodiacYearOfIssue(issue));
    int m = 0;
    for (int n = 1; n <= 15; ++n) {
        const Numbers one{n, n, n, n, n};
        m += top.contains(deriveAttributes(one, year, bases).at(1, kind)) ? 1 : 0;
    }
    return 5.0 * m / 15.0;
}

} // namespace

class BacktestTest : public QObject {
    Q_OBJECT
private slots:
    void agreesWithOrdinarySearches_data();
    void agreesWithOrdinarySearches();
    void plantedPatternIsFound();
    void chanceAloneIsRarelyFlagged();
    void edgeCases();
    void captionNamesEveryOption_data();
    void captionNamesEveryOption();
    void captionsTellRunsApartByEveryOption_data();
    void captionsTellRunsApartByEveryOption();
    void curvesRunTheTotals();
};

void BacktestTest::agreesWithOrdinarySearches_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("sxIni");
    for (quint32 seed : {1u, 2u, 3u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << int(seed % 2);
}

void BacktestTest::agreesWithOrdinarySearches() {
    QFETCH(quint32, seed);
    QFETCH(int, sxIni);
    TempHistory h;
    const ValueBases bases{sxIni, 1 - sxIni};
    // 362 issues a year: the issues after 359 are outside what the verification tab reads.
    appendYears(h, 2019, 3, 362, seed, bases);
    const HistoryView view = readHistoryView(h.store());
    QRandomGenerator rng(seed);
    for (int run = 0; run < 12; ++run) {
        // Every third run tries the whole last year and more, its year's first issues included.
        const int issues = run % 3 == 0 ? 370 : 30;
        BacktestRequest b = randomRequest(rng, view, issues);
        b.search.bases = bases;
        const auto got = backtest(h.store(), b);
        QVERIFY(got);
        HistorySnapshot snapshot;
        SearchSession session(h.store(), snapshot);
        applyOptions(session, b);
        qint64 hits = 0;
        double expected = 0, variance = 0;
        qsizetype at = 0;
        for (qsizetype i = view.size() - issues; i < view.size(); ++i) {
            const qint64 issue = view.rows()[i].issue;
            const bool listed = at < got->rows.size() && got->rows[at].issue == issue;
            const BacktestRow* row = listed ? &got->rows[at++] : nullptr;
            const QString what = QStringLiteral("run %1 issue %2").arg(run).arg(issue);
            if (row) {
                // Five of fifteen numbers drawn without replacement: the finite-population
                // factor (15 - 5) / (15 - 1) shrinks the binomial variance.
                const double e = directExpected(issue, b.search.intXianshiLei, bases, row->top);
                QVERIFY2(std::abs(row->expected - e) < 1e-9, qPrintable(what));
                const double share = e / 5;
                hits += row->hits;
                expected += e;
                variance += 5 * share * (1 - share) * (10.0 / 14.0);
            }
            // The naive loop on every issue of a short range, on some of a long one.
            if (issues > 30 && i % 5 != 0 && issue % 1000 > 3)
                continue;
            const Naive naive = naiveSearch(session, view, b, i);
            QVERIFY2(listed == naive.searched, qPrintable(what));
            if (!row)
                continue;
            QVERIFY2(row->top == naive.top, qPrintable(what));
            QVERIFY2(row->hits == naive.hits, qPrintable(what));
        }
        QCOMPARE(at, got->rows.size());
        QCOMPARE(got->hits, hits);
        // Against chance: z over the summed variance, p one-sided (more hits than chance).
        QVERIFY(std::abs(got->expected - expected) < 1e-6);
        QVERIFY(std::abs(got->variance - variance) < 1e-6);
        QCOMPARE(bool(got->p), variance > 0);
        if (variance > 0) {
            const double z = (double(hits) - expected) / std::sqrt(variance);
            QVERIFY2(std::abs(*got->z - z) < 1e-9, qPrintable(QStringLiteral("run %1").arg(run)));
            QVERIFY2(std::abs(*got->p - 0.5 * std::erfc(z / std::sqrt(2.0))) < 1e-9,
                     qPrintable(backtestSummary(*got)));
        }
    }
}

// After a draw whose first zodiac is 3, tail 5 comes far more often: searching by the first
// zodiac and tallying tails finds it.
void BacktestTest::plantedPatternIsFound() {
    TempHistory h;
    const ValueBases bases{0, 1};
    appendYears(h, 2010, 8, 200, 77, bases, [](QVector<Numbers>& draws) {
        QRandomGenerator rng(5);
        for (int i = 1; i < draws.size(); ++i) {
            const int year = 2010 + (i - 1) / 200;
            const ZodiacYear zodiac(year);
            if (zodiac.zodiacOf(draws[i - 1][0]) != 3 || rng.bounded(10) >= 9)
                continue;
            Numbers& d = draws[i];
            // 5 and 15 both, in two positions that hold neither.
            for (const int tail5 : {5, 15}) {
                if (std::find(d.begin(), d.end(), tail5) != d.end())
                    continue;
                int p = rng.bounded(kPositions);
                while (d[p] == 5 || d[p] == 15)
                    p = (p + 1) % kPositions;
                d[p] = tail5;
            }
        }
    });
    const HistoryView view = readHistoryView(h.store());
    BacktestRequest b;
    b.search.bolZyw = false;
    b.search.intLei = Zodiac;
    b.search.intXianshiLei = Tail;
    b.search.bolPosSel = {true, false, false, false, false};
    b.search.bases = bases;
    b.search.startIssue = view.rows()[1].issue;
    b.topK = 1;
    b.firstIssue = view.rows()[100].issue;
    b.lastIssue = view.last()->issue;
    const auto got = backtest(h.store(), b);
    QVERIFY(got && got->p);
    QVERIFY2(*got->p < 0.01, qPrintable(backtestSummary(*got)));
    QVERIFY(*got->ratio > 1.1);
}

// Random draws: the backtest's p falls below 0.01 about as often as chance allows.
void BacktestTest::chanceAloneIsRarelyFlagged() {
    QRandomGenerator rng(2024);
    int flagged = 0, tried = 0;
    for (int history = 0; history < 4; ++history) {
        TempHistory h;
        const ValueBases bases{history % 2, (history / 2) % 2};
        appendYears(h, 2011, 8, 100, 300 + history, bases);
        const HistoryView view = readHistoryView(h.store());
        HistorySnapshot snapshot;
        for (int run = 0; run < 50; ++run) {
            BacktestRequest b = randomRequest(rng, view, 150);
            b.search.bases = bases;
            QString error;
            QVERIFY(snapshot.refresh(h.store(), backtestColumns(b), &error));
            const auto got = runBacktest(snapshot, b, {});
            QVERIFY2(got, qPrintable(error));
            ++tried;
            flagged += got->p && *got->p < 0.01;
        }
    }
    qInfo("%d of %d random configurations reached p < 0.01", flagged, tried);
    QVERIFY(flagged <= tried * 3 / 100);
}

void BacktestTest::edgeCases() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(30, 4));
    BacktestRequest b;
    b.search.startIssue = 2013002;
    b.firstIssue = 2013001;
    b.lastIssue = 2013030;
    // The first issue has no earlier draw, nor the second a search range: both are left out.
    auto got = backtest(h.store(), b);
    QVERIFY(got);
    QCOMPARE(got->rows.size(), 28);
    QCOMPARE(got->rows.first().issue, 2013003);

    // More values than the kind has: every value counts, every position hits, no variance.
    b.search.intXianshiLei = Head;
    b.topK = 5;
    got = backtest(h.store(), b);
    QCOMPARE(got->rows.first().top.size(), 2);
    QCOMPARE(got->hits, qint64(5 * 28));
    QVERIFY(!got->p);

    // A reference no draw can match: no follow draw, the values in ascending order.
    b.search.intXianshiLei = Number;
    b.topK = 3;
    b.search.bolZyw = false;
    b.search.bolPosSel = {true, true, true, true, true};
    b.combinedPositions = 5;
    got = backtest(h.store(), b);
    QVERIFY(got);
    for (const BacktestRow& row : got->rows)
        if (row.followDraws == 0)
            QCOMPARE(row.top, (QVector<int>{1, 2, 3}));

    // Typed values belong to no issue; a range that ends before it starts is no range.
    QString error;
    b.search.bolManual = true;
    QVERIFY(!validateBacktest(b, &error) && error.contains(QStringLiteral("手动")));
    b.search.bolManual = false;
    b.firstIssue = 2013030;
    b.lastIssue = 2013001;
    QVERIFY(!validateBacktest(b, &error) && error.contains(QStringLiteral("2013030")));
}

void BacktestTest::captionNamesEveryOption_data() {
    QTest::addColumn<bool>("free");
    QTest::addColumn<int>("lag");
    QTest::addColumn<int>("combined");
    QTest::addColumn<int>("sxIni");
    QTest::addColumn<bool>("ticked"); // positions 1, 3 and 5; none otherwise
    QTest::addColumn<QString>("caption");
    QTest::newRow("follow, free, 上期")
        << true << 1 << 0 << 1 << true
        << QStringLiteral("回测检索（自由位）：第1、3、5码，上期，搜索类型 号码，结果类型 生肖，"
                          "生肖参数1~12，段数参数1~3，检索自 2013001 期起，取前 2 个，"
                          "2013010–2013011 期");
    QTest::newRow("follow, fixed, 前3期, bases from 0")
        << false << 3 << 0 << 0 << true
        << QStringLiteral("回测检索（固定位）：第1、3、5码，前3期，搜索类型 号码，结果类型 生肖，"
                          "生肖参数0~11，段数参数1~3，检索自 2013001 期起，取前 2 个，"
                          "2013010–2013011 期");
    QTest::newRow("combination over 2")
        << true << 1 << 2 << 1 << true
        << QStringLiteral(
               "回测组合检索（2位，自由位）：全部5码，上期，搜索类型 号码，结果类型 生肖，"
               "生肖参数1~12，段数参数1~3，检索自 2013001 期起，取前 2 个，"
               "2013010–2013011 期");
    QTest::newRow("combination over 2, fixed")
        << false << 1 << 2 << 1 << true
        << QStringLiteral(
               "回测组合检索（2位，固定位）：全部5码，上期，搜索类型 号码，结果类型 生肖，"
               "生肖参数1~12，段数参数1~3，检索自 2013001 期起，取前 2 个，"
               "2013010–2013011 期");
    QTest::newRow("follow, no position ticked")
        << true << 1 << 0 << 1 << false
        << QStringLiteral("回测检索（自由位）：未选位置，上期，搜索类型 号码，结果类型 生肖，"
                          "生肖参数1~12，段数参数1~3，检索自 2013001 期起，取前 2 个，"
                          "2013010–2013011 期");
}

void BacktestTest::captionNamesEveryOption() {
    QFETCH(bool, free);
    QFETCH(int, lag);
    QFETCH(int, combined);
    QFETCH(int, sxIni);
    QFETCH(bool, ticked);
    QFETCH(QString, caption);
    SearchRequest r;
    r.bolZyw = free;
    r.bolSq = lag == 1;
    r.intPreQi = lag;
    r.intLei = 0;
    r.intXianshiLei = 1;
    r.bolPosSel = {ticked, false, ticked, false, ticked};
    r.startIssue = 2013001;
    r.bases = {sxIni, 1};
    BacktestResult result;
    result.rows.resize(2);
    result.rows[0].issue = 2013010;
    result.rows[1].issue = 2013011;
    QCOMPARE(backtestCaption(r, combined, 2, result), caption);
}

namespace {

// One run as its headings see it: the search and where its reference came from, and for its
// backtest K and the issues tried.
struct CaptionedRun {
    SearchRequest r;
    int combined = 0;
    ReferenceOrigin origin{ReferenceOrigin::Kind::Draw, 2013080};
    int topK = 3;
    qint64 firstTried = 2013050;
    qint64 lastTried = 2013080;

    CaptionedRun() {
        r.bolPosSel = {true, false, true, false, false};
        r.startIssue = 2013002;
        r.endIssue = 2013080;
        r.intRefVal = {1, 5, 9, 12, 15};
    }
    QString searchHeading() const {
        FollowResult result;
        result.followDraws = 40;
        return searchCaption(r, combined, origin, result);
    }
    QString backtestHeading() const {
        BacktestResult result;
        result.rows.resize(2);
        result.rows[0].issue = firstTried;
        result.rows[1].issue = lastTried;
        return backtestCaption(r, combined, topK, result);
    }
};
using RunChange = std::function<void(CaptionedRun&)>;

} // namespace

Q_DECLARE_METATYPE(RunChange)

void BacktestTest::captionsTellRunsApartByEveryOption_data() {
    QTest::addColumn<int>("combined"); // of the run changed: 0 for the follow search
    QTest::addColumn<RunChange>("change");
    QTest::addColumn<bool>("search");   // the search's heading must differ
    QTest::addColumn<bool>("backtest"); // the backtest's heading must differ
    using Run = CaptionedRun;
    const QList<std::tuple<const char*, RunChange, bool, bool>> changes{
        {"fixed positions", [](Run& c) { c.r.bolZyw = false; }, true, true},
        {"another position", [](Run& c) { c.r.bolPosSel[1] = true; }, true, true},
        {"前3期", [](Run& c) { c.r.bolSq = false, c.r.intPreQi = 3; }, true, true},
        {"search kind", [](Run& c) { c.r.intLei = 1; }, true, true},
        {"result kind", [](Run& c) { c.r.intXianshiLei = 3; }, true, true},
        {"zodiac base", [](Run& c) { c.r.bases.sxIni = 0; }, true, true},
        {"segment base", [](Run& c) { c.r.bases.dsIni = 0; }, true, true},
        {"first issue", [](Run& c) { c.r.startIssue = 2013003; }, true, true},
        // The backtest searches up to each issue tried, whatever the range's end.
        {"last issue", [](Run& c) { c.r.endIssue = 2013079; }, true, false},
        {"reference values", [](Run& c) { c.r.intRefVal[4] = 14; }, true, false},
        {"typed reference",
         [](Run& c) {
             c.origin = {ReferenceOrigin::Kind::Typed, {}};
         },
         true, false},
        {"verified issue",
         [](Run& c) {
             c.origin = {ReferenceOrigin::Kind::Verification, 2013081};
         },
         true, false},
        {"K", [](Run& c) { c.topK = 4; }, false, true},
        {"issues tried", [](Run& c) { c.firstTried = 2013051; }, false, true},
    };
    for (int combined : {0, 2})
        for (const auto& [name, change, search, backtest] : changes) {
            // The combination search takes every position, whatever is ticked.
            const bool positions = QByteArray(name) == "another position" && combined > 0;
            QTest::addRow("%s, %s", combined ? "combination" : "follow", name)
                << combined << change << (search && !positions) << (backtest && !positions);
        }
    QTest::newRow("combination, another number of positions")
        << 2 << RunChange([](Run& c) { c.combined = 3; }) << true << true;
    QTest::newRow("combination instead of follow")
        << 0 << RunChange([](Run& c) { c.combined = 2; }) << true << true;
}

void BacktestTest::captionsTellRunsApartByEveryOption() {
    QFETCH(int, combined);
    QFETCH(RunChange, change);
    QFETCH(bool, search);
    QFETCH(bool, backtest);
    CaptionedRun before;
    before.combined = combined;
    CaptionedRun after = before;
    change(after);
    QCOMPARE(after.searchHeading() != before.searchHeading(), search);
    QCOMPARE(after.backtestHeading() != before.backtestHeading(), backtest);
}

// The chart's curves: running hits and expectation from a point before the first issue, the band
// two standard deviations of the running variance either side, never below 0.
void BacktestTest::curvesRunTheTotals() {
    BacktestResult r;
    for (const auto& [hits, expected, variance] :
         {std::tuple{2, 1.0, 4.0}, std::tuple{0, 0.5, 0.25}, std::tuple{1, 6.0, 0.0}}) {
        BacktestRow row;
        row.hits = hits;
        row.expected = expected;
        row.variance = variance;
        r.rows << row;
    }
    const BacktestCurves c = backtestCurves(r);
    QCOMPARE(c.hits, (QVector<double>{0, 2, 2, 3}));
    QCOMPARE(c.expected, (QVector<double>{0, 1, 1.5, 7.5}));
    const double spread = 2 * std::sqrt(4.25);
    QCOMPARE(c.low, (QVector<double>{0, 0, 0, 7.5 - spread}));
    QCOMPARE(c.high, (QVector<double>{0, 5, 1.5 + spread, 7.5 + spread}));
}

QTEST_GUILESS_MAIN(BacktestTest)
#include "tst_backtest.moc"
