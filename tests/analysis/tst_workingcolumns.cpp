// The working columns and Carcu after random sequences of searches and changes to the history,
// against the same searches run as set-based SQL statements on the state before each search.
#include "analysis/PendingSearch.h"
#include "FollowOracle.h"
#include "import/TextImport.h"
#include "SqlSearchReference.h"
#include "TestHistory.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

namespace {

// A cell as stored: NULL, an empty text and 0 all differ.
QStringList cells(const QVariantList& row) {
    QStringList out;
    for (const QVariant& v : row)
        out << (v.isNull() ? QStringLiteral("<NULL>") : v.toString());
    return out;
}

QList<QStringList> carcu(const HistoryStore& store) {
    QList<QStringList> rows;
    QSqlQuery q(store.database());
    q.exec(QStringLiteral("SELECT Nmb, Count FROM Carcu ORDER BY rowid"));
    while (q.next())
        rows << cells({q.value(0), q.value(1)});
    return rows;
}

struct Snapshot {
    QList<QStringList> lishi;
    QList<QStringList> carcu;
};

Snapshot snapshot(const HistoryStore& store) {
    Snapshot s;
    for (const QVariantList& row : tableRows(store))
        s.lishi << cells(row);
    s.carcu = carcu(store);
    return s;
}

// What the reference leaves, seen from the other connection and rolled back there.
Snapshot referenceState(HistoryStore& other, const SearchRequest& r, int k) {
    QSqlQuery q(other.database());
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        qFatal("cannot begin: %s", qPrintable(q.lastError().text()));
    QString error;
    if (!referenceSearch(other, r, k, &error))
        qFatal("reference search failed: %s", qPrintable(error));
    Snapshot s = snapshot(other);
    q.exec(QStringLiteral("ROLLBACK"));
    return s;
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
    if (rng.bounded(2) == 0 && !view.rows().isEmpty()) {
        const auto& row = view.rows()[rng.bounded(int(view.size()))];
        r.intRefVal = row.attributes.kindValues(r.intLei);
    } else {
        r.bolManual = true;
        const ValueRange range = kindRange(r.intLei, r.bases.sxIni, r.bases.dsIni);
        for (int& v : r.intRefVal)
            v = range.lo + rng.bounded(range.count());
    }
    const qint64 first = view.rows().isEmpty() ? 2013001 : view.rows().first().issue;
    const qint64 last = view.rows().isEmpty() ? 2013001 : view.rows().last().issue;
    r.startIssue = first + rng.bounded(int(last - first + 2));
    r.endIssue = r.startIssue + rng.bounded(int(last - first + 2));
    return r;
}

Numbers randomNumbers(QRandomGenerator& rng) {
    return randomDraws(1, rng.generate()).first();
}

} // namespace

class WorkingColumnsTest : public QObject {
    Q_OBJECT
private slots:
    void agreeWithSetBasedStatements_data();
    void agreeWithSetBasedStatements();
    void droppedSearchWritesNothing();
    void failedWriteIsReported();
    void foreignValueIsRefused();
};

void WorkingColumnsTest::agreeWithSetBasedStatements_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

// Changes come through the searching connection (its own writes) and through another one (its
// commits), so both ways the mirror learns of a change are exercised.
void WorkingColumnsTest::agreeWithSetBasedStatements() {
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    TempHistory h;
    h.appendMany(2013001, randomDraws(40, seed));
    HistoryStore other;
    QString error;
    QVERIFY2(other.open(h.folder(), &error), qPrintable(error));
    ZodiacYear zodiacYear;
    int searches = 0;
    for (int step = 0; step < 90; ++step) {
        const int action = rng.bounded(20);
        HistoryStore& writer = rng.bounded(2) == 0 ? h.store() : other;
        if (action == 0) {
            QVERIFY2(writer.appendNextDraw(randomNumbers(rng), std::nullopt, std::nullopt, {},
                                           zodiacYear, QDate(2024, 1, 1), &error),
                     qPrintable(error));
        } else if (action == 1) {
            QVERIFY2(writer.deleteLastDraw(&error), qPrintable(error));
        } else if (action == 2) {
            QVector<ImportedDraw> draws;
            const auto numbers = randomDraws(20 + rng.bounded(30), rng.generate());
            for (qsizetype i = 0; i < numbers.size(); ++i)
                draws.append({2014001 + i, numbers[i], int(i + 1)});
            QVERIFY2(replaceHistory(writer, draws, {}, zodiacYear, &error), qPrintable(error));
        } else {
            const HistoryView view = h.store().loadView();
            const SearchRequest r = randomRequest(rng, view);
            const int k = rng.bounded(3) == 0 ? 1 + rng.bounded(5) : 0;
            const Snapshot expected = referenceState(other, r, k);
            const auto ok = k == 0 ? runFollowSearch(h.store(), r, &error)
                                   : runCombinationSearch(h.store(), r, k, &error);
            QVERIFY2(ok, qPrintable(error));
            const Snapshot got = snapshot(other);
            QCOMPARE(got.lishi.size(), expected.lishi.size());
            for (qsizetype row = 0; row < got.lishi.size(); ++row)
                QVERIFY2(got.lishi[row] == expected.lishi[row],
                         qPrintable(QStringLiteral("step %1, issue %2: %3 / %4")
                                        .arg(step)
                                        .arg(got.lishi[row].first(),
                                             got.lishi[row].join(QLatin1Char(',')),
                                             expected.lishi[row].join(QLatin1Char(',')))));
            QCOMPARE(got.carcu, expected.carcu);
            ++searches;
        }
    }
    QVERIFY(searches > 50);
}

// An answered search whose cells are never written leaves the file as it was, and the next
// search is not misled by what the dropped one held in memory.
void WorkingColumnsTest::droppedSearchWritesNothing() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(60, 7));
    SearchRequest r = baseRequest();
    r.bolPosSel = {true, true, false, false, false};
    r.intRefVal = {1, 2, 3, 4, 5};
    r.bolManual = true;
    QString error;
    QVERIFY2(runFollowSearch(h.store(), r, &error), qPrintable(error));
    const Snapshot before = snapshot(h.store());
    SearchRequest other = r;
    other.intRefVal = {6, 7, 8, 9, 10};
    other.bolZyw = false;
    other.bolSq = false;
    other.intPreQi = 4;
    auto pending = startFollowSearch(h.store(), other, &error);
    QVERIFY2(pending, qPrintable(error));
    QVERIFY(pending->result().followDraws >= 0);
    pending.reset();
    const Snapshot after = snapshot(h.store());
    QCOMPARE(after.lishi, before.lishi);
    QCOMPARE(after.carcu, before.carcu);

    HistoryStore second;
    QVERIFY2(second.open(h.folder(), &error), qPrintable(error));
    const Snapshot expected = referenceState(second, other, 0);
    QVERIFY2(runFollowSearch(h.store(), other, &error), qPrintable(error));
    QCOMPARE(snapshot(h.store()).lishi, expected.lishi);
}

// A write refused half way is reported, leaves the file as it was, and the next search writes
// what it must although the refused one had changed the cells in memory.
void WorkingColumnsTest::failedWriteIsReported() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(60, 9));
    QString error;
    QVERIFY2(runFollowSearch(h.store(), baseRequest(), &error), qPrintable(error));
    const Snapshot before = snapshot(h.store());
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON Lishi WHEN "
                                  "OLD.SQQH = 2013050 BEGIN SELECT RAISE(ABORT, 'no room'); END")));
    SearchRequest r = baseRequest();
    r.bolZyw = false;
    r.bolSq = false;
    r.intPreQi = 2;
    r.bolPosSel = {true, false, true, false, false};
    r.intRefVal = {3, 0, 7, 0, 0};
    r.bolManual = true;
    auto pending = startFollowSearch(h.store(), r, &error);
    QVERIFY2(pending, qPrintable(error));
    QVERIFY(!pending->write(&error));
    QVERIFY2(error.contains(QStringLiteral("no room")), qPrintable(error));
    pending.reset();
    QCOMPARE(snapshot(h.store()).lishi, before.lishi);
    QCOMPARE(snapshot(h.store()).carcu, before.carcu);

    QVERIFY(q.exec(QStringLiteral("DROP TRIGGER refuse")));
    HistoryStore other;
    QVERIFY2(other.open(h.folder(), &error), qPrintable(error));
    const Snapshot expected = referenceState(other, r, 0);
    QVERIFY2(runFollowSearch(h.store(), r, &error), qPrintable(error));
    QCOMPARE(snapshot(h.store()).lishi, expected.lishi);
}

// A value no search can compare came from elsewhere: the search says so and writes nothing.
void WorkingColumnsTest::foreignValueIsRefused() {
    TempHistory h;
    h.appendMany(2013001, randomDraws(10, 3));
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec(QStringLiteral("UPDATE Lishi SET L2F = 'x' WHERE SQQH = 2013004")));
    const Snapshot before = snapshot(h.store());
    QString error;
    h.store().loadView();
    SearchRequest r = baseRequest();
    r.intXianshiLei = Tail; // the column holding the foreign value is tallied
    QVERIFY(!runFollowSearch(h.store(), r, &error));
    QVERIFY2(error.contains(QStringLiteral("2013004")) && error.contains(QStringLiteral("L2F")),
             qPrintable(error));
    QCOMPARE(snapshot(h.store()).lishi, before.lishi);
}

QTEST_GUILESS_MAIN(WorkingColumnsTest)
#include "tst_workingcolumns.moc"
