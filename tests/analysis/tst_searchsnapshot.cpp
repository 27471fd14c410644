// Searches on one kept snapshot, between random appends, deletes and imports through two
// connections, against the answer worked out from the history as it stands; and what a search
// leaves in the file: nothing.
#include "FileFacts.h"
#include "FollowOracle.h"
#include "TestHistory.h"

#include "analysis/CombinationSearch.h"
#include "analysis/FollowMatching.h"
#include "analysis/FollowSearch.h"
#include "import/TextImport.h"
#include "session/SearchSession.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

namespace {

// The database file and its log, as bytes on disk.
QByteArray fileAndLogHash(const QString& path) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& name : {path, path + QStringLiteral("-wal")}) {
        QFile f(name);
        if (f.open(QIODevice::ReadOnly))
            hash.addData(&f);
    }
    return hash.result();
}

SearchRequest randomRequest(QRandomGenerator& rng, const HistoryView& view) {
    SearchRequest r;
    r.bolZyw = rng.bounded(2) == 0;
    r.bolSq = rng.bounded(2) == 0;
    r.intPreQi = 1 + rng.bounded(9);
    r.intLei = rng.bounded(kKindCount);
    r.intXianshiLei = rng.bounded(kKindCount);
    r.bases = {rng.bounded(2), rng.bounded(2)};
    for (bool& ticked : r.bolPosSel)
        ticked = rng.bounded(3) != 0;
    if (rng.bounded(2) == 0 && !view.isEmpty()) {
        r.intRefVal = view.rows()[rng.bounded(int(view.size()))].attributes.kindValues(r.intLei);
    } else {
        r.bolManual = true;
        const ValueRange range = kindRange(r.intLei, r.bases.sxIni, r.bases.dsIni);
        for (int& v : r.intRefVal)
            v = range.lo + rng.bounded(range.count());
    }
    const qint64 first = view.isEmpty() ? 2013001 : view.first()->issue;
    const qint64 last = view.isEmpty() ? 2013001 : view.last()->issue;
    r.startIssue = first + rng.bounded(int(last - first + 2));
    r.endIssue = r.startIssue + rng.bounded(int(last - first + 2));
    return r;
}

// The expected count of each value under a fair draw: per follow draw m / 3, m being how many
// of the numbers 1..15 have the value in that draw's zodiac year.
QVector<double> expectedCounts(const SearchRequest& r, const QVector<QStringList>& matchRows) {
    const ValueRange values = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    QVector<double> sums(values.count(), 0);
    for (const QStringList& row : matchRows) {
        const ZodiacYear year(zodiacYearOfIssue(row[0].toLongLong()));
        for (int n = 1; n <= 15; ++n) {
            const int v = deriveAttributes({n, n, n, n, n}, year, r.bases).at(1, r.intXianshiLei);
            sums[v - values.lo] += 1.0 / 3.0;
        }
    }
    return sums;
}

} // namespace

class SearchSnapshotTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { isolateCache(cache_.path()); }
    void agreesWithHistoryAsItStands_data();
    void agreesWithHistoryAsItStands();
    void sessionRefusesHistoryThatMovedOn();
    void valuesOfAnyWidthAreKept_data();
    void valuesOfAnyWidthAreKept();
    void foreignValueIsRefused();

private:
    QTemporaryDir cache_;
};

void SearchSnapshotTest::agreesWithHistoryAsItStands_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

// Changes come through the searching connection (its own changes) and through another one (its
// commits), so both ways the snapshot learns of a change are exercised.
void SearchSnapshotTest::agreesWithHistoryAsItStands() {
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    TempHistory h;
    h.appendMany(2013001, randomDraws(40, seed));
    HistoryStore other;
    QString error;
    QVERIFY2(other.open(h.folder(), &error), qPrintable(error));
    HistorySnapshot snapshot;
    ZodiacYear zodiacYear, knownYears;
    // The listing of an earlier search, shown while the snapshot has moved on since.
    GridRows earlierListing;
    QVector<QStringList> earlierWanted;
    int searches = 0;
    for (int step = 0; step < 120; ++step) {
        const int action = rng.bounded(12);
        HistoryStore& writer = rng.bounded(2) == 0 ? h.store() : other;
        if (action == 0) {
            const Numbers numbers = randomDraws(1, rng.generate()).first();
            QVERIFY2(writer.appendNextDraw(numbers, std::nullopt, std::nullopt, {}, zodiacYear,
                                           QDate(2024, 1, 1), &error),
                     qPrintable(error));
            continue;
        }
        if (action == 1) {
            QVERIFY2(writer.deleteLastDraw(&error), qPrintable(error));
            continue;
        }
        if (action == 2) {
            QVector<ImportedDraw> draws;
            const auto numbers = randomDraws(20 + rng.bounded(30), rng.generate());
            for (qsizetype i = 0; i < numbers.size(); ++i)
                draws.append({2014001 + i, numbers[i], int(i + 1)});
            QVERIFY2(replaceHistory(writer, draws, {}, zodiacYear, &error), qPrintable(error));
            continue;
        }
        const HistoryView view = readHistoryView(h.store());
        SearchRequest r = randomRequest(rng, view);
        // A tally alone reads less, and answers the same.
        r.listFollowDraws = rng.bounded(3) != 0;
        const int k = rng.bounded(3) == 0 ? 1 + rng.bounded(5) : 0;
        const QByteArray before = fileAndLogHash(h.store().databasePath());
        QVERIFY2(snapshot.refresh(h.store(), searchColumns(r), &error), qPrintable(error));
        const FollowResult got = k == 0 ? followSearch(snapshot, r, &knownYears)
                                        : combinationSearch(snapshot, r, k, &knownYears);
        QCOMPARE(fileAndLogHash(h.store().databasePath()), before);
        const QString what = QStringLiteral("step %1, k %2").arg(step).arg(k);
        const FollowResult want = expectedResult(view, r, [&](qsizetype earlier) {
            return k == 0 ? followMatches(view, r, earlier)
                          : combinationMatches(view, r, k, earlier);
        });
        QVERIFY2(got.matchRows == (r.listFollowDraws ? want.matchRows : QVector<QStringList>()),
                 qPrintable(what));
        QVERIFY2(earlierListing.all() == earlierWanted, qPrintable(what));
        earlierListing = got.matchRows;
        earlierWanted = r.listFollowDraws ? want.matchRows.all() : QVector<QStringList>();
        QCOMPARE(got.followDraws, qint64(want.matchRows.size()));
        if (rng.bounded(4) == 0) {
            // The file at rest: a first read compares its code texts with their derivation and
            // keeps the verdict, a second derives them instead of reading them.
            QVERIFY(ageFile(h.store().databasePath()));
            std::size_t held[2] = {};
            for (int read = 0; read < 2; ++read) {
                HistorySnapshot again;
                QVERIFY2(again.refresh(h.store(), searchColumns(r), &error), qPrintable(error));
                held[read] = again.memoryBytes();
                const FollowResult same =
                    k == 0 ? followSearch(again, r) : combinationSearch(again, r, k);
                QVERIFY2(same.matchRows == got.matchRows && same.resultRows == got.resultRows,
                         qPrintable(what + QStringLiteral(", read %1 at rest").arg(read)));
            }
            if (r.bolZyw)
                QVERIFY2(held[1] < held[0], qPrintable(what));
        }
        QVERIFY2(got.resultRows == want.resultRows, qPrintable(what));
        const QVector<double> expected = expectedCounts(r, want.matchRows.all());
        QCOMPARE(got.baseline.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(std::abs(got.baseline[i].expected - expected[i]) < 1e-6, qPrintable(what));
        ++searches;
    }
    QVERIFY(searches > 80);
}

// A session read its reference from the history before another program appended: its search
// is refused rather than answered on a mix of both, and after the refresh it answers on the new
// history with the new draw as reference.
void SearchSnapshotTest::sessionRefusesHistoryThatMovedOn() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(30, 8));
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    QString error;
    QVERIFY(session.historyChanged(&error));
    const std::array<bool, kPositions> positions{true, true, false, false, false};
    QVERIFY(session.runFollow(session.request(positions)));
    QVERIFY(!session.historyMovedOn());

    HistoryStore other;
    QVERIFY2(other.open(h.folder(), &error), qPrintable(error));
    ZodiacYear zodiacYear;
    QVERIFY(other.appendNextDraw({1, 2, 3, 4, 5}, std::nullopt, std::nullopt, {}, zodiacYear,
                                 QDate(2024, 1, 1), &error));
    QVERIFY(session.historyMovedOn());
    const auto moved = session.runFollow(session.request(positions));
    QVERIFY(moved.refusedAs(SearchRefusal::Kind::MovedOn));
    QVERIFY2(moved.refusal().text.contains(QStringLiteral("重新检索")),
             qPrintable(moved.refusal().text));

    QVERIFY(session.historyChanged(&error));
    QCOMPARE(session.intRefVal(), (RefValues{1, 2, 3, 4, 5}));
    const auto got = session.runFollow(session.request(positions));
    QVERIFY(got);
    const HistoryView view = readHistoryView(h.store());
    const FollowResult want = expectedResult(view, session.request(positions), [&](qsizetype at) {
        return followMatches(view, session.request(positions), at);
    });
    QCOMPARE(got->matchRows, want.matchRows);
}

// Values no byte holds, and none at all, as a file made elsewhere may store: tallied, listed and
// matched as stored (a missing one as 0), in the columns searched and in those tallied, whether
// the column is compared a byte at a time or cell by cell.
void SearchSnapshotTest::valuesOfAnyWidthAreKept_data() {
    QTest::addColumn<QStringList>("stored"); // the tails of 2013005 and 2013006
    QTest::addColumn<int>("k");              // -1: every draw; 0: positions 1, 3 and 4
    QTest::addColumn<int>("lastReference");  // the reference at position 5
    const QStringList bytes{"127", "-128", "NULL", "-128", "0"};
    const QStringList wide{"300", "-200", "NULL", "70000", "127"};
    QTest::newRow("bytes, every draw") << bytes << -1 << 0;
    QTest::newRow("bytes, fixed") << bytes << 0 << 0;
    QTest::newRow("bytes, four of five, one no byte holds") << bytes << 4 << 300;
    QTest::newRow("bytes, five of five") << bytes << 5 << 0;
    QTest::newRow("wide, every draw") << wide << -1 << 0;
    QTest::newRow("wide, fixed") << wide << 0 << 0;
    QTest::newRow("wide, two of five") << wide << 2 << -128;
}

void SearchSnapshotTest::valuesOfAnyWidthAreKept() {
    QFETCH(QStringList, stored);
    QFETCH(int, k);
    QFETCH(int, lastReference);
    TempHistory h;
    h.appendMany(2013001, randomDraws(60, 4));
    QSqlQuery q(h.store().database());
    for (int i = 0; i < kPositions; ++i)
        QVERIFY(q.exec(QStringLiteral("UPDATE Lishi SET L%1F = %2 WHERE SQQH IN (2013005, 2013006)")
                           .arg(i + 1)
                           .arg(stored[i])));
    const HistoryView view = readHistoryView(h.store());
    SearchRequest r = baseRequest();
    r.bolZyw = false;
    r.intLei = Tail;
    r.intXianshiLei = Tail;
    for (int i = 0; i < kPositions; ++i)
        r.intRefVal[i] = stored[i] == QLatin1String("NULL") ? 0 : stored[i].toInt();
    r.intRefVal[4] = lastReference;
    r.bolPosSel = {k >= 0, false, k >= 0, k >= 0, false};
    QString error;
    const auto got = k > 0 ? runCombinationSearch(h.store(), r, k, &error)
                           : runFollowSearch(h.store(), r, &error);
    QVERIFY2(got, qPrintable(error));
    const FollowResult want = expectedResult(view, r, [&](qsizetype at) {
        return k > 0 ? combinationMatches(view, r, k, at) : followMatches(view, r, at);
    });
    QCOMPARE(got->matchRows, want.matchRows);
    QCOMPARE(got->resultRows, want.resultRows);
    // 2013006, the follow draw of 2013005, is found and lists its odd values as stored.
    const QVector<QStringList> rows = got->matchRows.all();
    QVERIFY(std::any_of(rows.begin(), rows.end(), [&](const QStringList& row) {
        return row.first() == QLatin1String("2013006") && row.contains(stored[3]);
    }));
}

// A value no search can compare came from elsewhere: the search says where.
void SearchSnapshotTest::foreignValueIsRefused() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(10, 3));
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec(QStringLiteral("UPDATE Lishi SET L2F = 'x' WHERE SQQH = 2013004")));
    SearchRequest r = baseRequest();
    r.intXianshiLei = Tail; // the column holding the foreign value is tallied
    QString error;
    QVERIFY(!runFollowSearch(h.store(), r, &error));
    QVERIFY2(error.contains(QStringLiteral("2013004")) && error.contains(QStringLiteral("L2F")),
             qPrintable(error));
}

QTEST_GUILESS_MAIN(SearchSnapshotTest)
#include "tst_searchsnapshot.moc"
