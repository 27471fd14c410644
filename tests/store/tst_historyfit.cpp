// Whether the stored zodiac and segment values fit the bases and the zodiac cut-offs, and the
// tallies of a history whose bases changed: re-derived (yes) or kept as they were (no).
#include "FollowOracle.h"
#include "maintenance/HistoryMaintenance.h"
#include "store/HistoryFit.h"
#include "TestHistory.h"

#include <QSqlQuery>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

namespace {

void fill(TempHistory& h, qint64 first, const QVector<Numbers>& draws, const ValueBases& bases) {
    HistoryStore::Transaction t(h.store());
    h.appendMany(first, draws, bases);
    QString error;
    if (!t.commit(&error))
        qFatal("cannot fill a test history: %s", qPrintable(error));
}

HistoryFit fitOf(const HistoryStore& store, const ValueBases& bases) {
    QString error;
    const auto fit = checkHistoryFit(store, bases, &error);
    if (!fit)
        qFatal("cannot check the history: %s", qPrintable(error));
    return *fit;
}

// The percentage cells of a result grid, added up: 100 % up to their rounding.
double percentageSum(const FollowResult& r) {
    double sum = 0;
    for (const QStringList& row : r.resultRows)
        sum += row[3].chopped(1).toDouble();
    return sum;
}

} // namespace

Q_DECLARE_METATYPE(quorvex::ValueBases)

class HistoryFitTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void storedAgainstCurrentBases_data();
    void storedAgainstCurrentBases();
    void olderCutoffIsNoticed();
    void baseChangeAnsweredYesOrNo_data();
    void baseChangeAnsweredYesOrNo();
};

void HistoryFitTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void HistoryFitTest::storedAgainstCurrentBases_data() {
    QTest::addColumn<ValueBases>("stored");
    QTest::addColumn<ValueBases>("current");
    QTest::addColumn<bool>("zodiacFits");
    QTest::addColumn<bool>("segmentFits");
    for (int sx = 0; sx <= 1; ++sx)
        for (int ds = 0; ds <= 1; ++ds)
            QTest::addRow("stored and checked with bases %d %d", sx, ds)
                << ValueBases{sx, ds} << ValueBases{sx, ds} << true << true;
    QTest::newRow("zodiac base changed") << ValueBases{1, 1} << ValueBases{0, 1} << false << true;
    QTest::newRow("segment base changed") << ValueBases{1, 1} << ValueBases{1, 0} << true << false;
}

// Across three lunar new years: a history fits the bases it was stored with, and only the kind
// whose base changed is noticed, from its first draw on.
void HistoryFitTest::storedAgainstCurrentBases() {
    QFETCH(ValueBases, stored);
    QFETCH(ValueBases, current);
    QFETCH(bool, zodiacFits);
    QFETCH(bool, segmentFits);
    TempHistory h;
    fill(h, 2017001, randomDraws(800, 3), stored);
    const HistoryFit fit = fitOf(h.store(), current);
    QCOMPARE(fit.draws, 800);
    QCOMPARE(fit.zodiacMisfits, zodiacFits ? 0 : 800);
    QCOMPARE(fit.segmentMisfits, segmentFits ? 0 : 800);
    QCOMPARE(fit.misfitsKind(Zodiac), !zodiacFits);
    QCOMPARE(fit.misfitsKind(Segment), !segmentFits);
    QVERIFY(!fit.misfitsKind(Number));
    QCOMPARE(fit.describe(current).isEmpty(), fit.fits());
    if (!fit.fits()) {
        QCOMPARE((zodiacFits ? fit.firstSegmentMisfit : fit.firstZodiacMisfit).value_or(0),
                 2017001);
        QVERIFY2(fit.describe(current).contains(zodiacFits ? QStringLiteral("800 期的段数值")
                                                           : QStringLiteral("800 期的生肖值")),
                 qPrintable(fit.describe(current)));
    }
}

// Histories stored while January and early February of 2021 on took the new year's zodiac: the
// draws stored that way are noticed, the rest not, and the rebuild mends them.
void HistoryFitTest::olderCutoffIsNoticed() {
    TempHistory h;
    fill(h, 2021001, randomDraws(60, 5), {});
    QVERIFY(fitOf(h.store(), {}).fits());
    // 2021001..2021043 still belong to the 鼠 year 2020; as stored before, under 2021's lists.
    QSqlQuery q(h.store().database());
    const ZodiacYear old(2021);
    const HistoryView view = readHistoryView(h.store());
    for (const StoredDraw& d : view.rows()) {
        if (d.issue > 2021043)
            break;
        const DrawAttributes a = deriveAttributes(d.attributes.numbers(), old, {});
        for (int i = 1; i <= kPositions; ++i)
            QVERIFY(q.exec(QStringLiteral("UPDATE Lishi SET L%1B = %2 WHERE SQQH = %3")
                               .arg(i)
                               .arg(a.at(i, Zodiac))
                               .arg(d.issue)));
    }
    HistoryFit fit = fitOf(h.store(), {});
    QCOMPARE(fit.zodiacMisfits, 43);
    QCOMPARE(fit.firstZodiacMisfit.value_or(0), 2021001);
    QCOMPARE(fit.segmentMisfits, 0);
    QVERIFY(!rebuildHistory(h.store(), h.folder(), {}).failed());
    QVERIFY(fitOf(h.store(), {}).fits());
}

void HistoryFitTest::baseChangeAnsweredYesOrNo_data() {
    QTest::addColumn<bool>("rebuild");
    QTest::newRow("yes: re-derived with the new bases") << true;
    QTest::newRow("no: the bases stay as they were") << false;
}

// The bases change from 1 to 0. Yes re-derives the history and the new bases hold; no keeps
// the bases that fit. Either way the zodiac and segment tallies are the independent answer's,
// every value named under the bases in force, and the percentages add to 100 %.
void HistoryFitTest::baseChangeAnsweredYesOrNo() {
    QFETCH(bool, rebuild);
    TempHistory h;
    fill(h, 2019001, randomDraws(500, 6), {1, 1});
    const ValueBases wanted{0, 0};
    QVERIFY(!fitOf(h.store(), wanted).fits());
    ValueBases inForce{1, 1};
    if (rebuild) {
        const MaintenanceReport r = rebuildHistory(h.store(), h.folder(), wanted);
        QVERIFY2(!r.failed(), qPrintable(r.error));
        inForce = wanted;
    }
    QVERIFY(fitOf(h.store(), inForce).fits());

    const HistoryView view = readHistoryView(h.store());
    for (const int kind : {int(Zodiac), int(Segment)}) {
        SearchRequest r = baseRequest();
        r.startIssue = 2019002;
        r.bases = inForce;
        r.intLei = kind;
        r.intXianshiLei = kind;
        r.intRefVal = view.rows().last().attributes.kindValues(kind);
        r.bolPosSel = {true, false, true, false, false};
        QString error;
        const auto got = runFollowSearch(h.store(), r, &error);
        QVERIFY2(got, qPrintable(error));
        const FollowResult want = expectedResult(
            view, r, [&](qsizetype earlier) { return followMatches(view, r, earlier); });
        QVERIFY(got->followDraws > 20);
        QCOMPARE(got->resultRows, want.resultRows);
        QCOMPARE(got->matchRows, want.matchRows);
        for (const QStringList& row : got->resultRows)
            QVERIFY2(!row[1].isEmpty(), "a value without a name under the bases in force");
        // The counts from the follow draws' numbers alone: zodiac (Y - 1971 - n) mod 12 in the
        // zodiac year Y, segment (n - 1) / 3, each plus its base.
        QVector<qint64> counts(got->bars.size(), 0);
        for (const StoredDraw& d : view.rows()) {
            if (!got->followIssues.contains(d.issue))
                continue;
            const int year = zodiacYearOfIssue(d.issue);
            for (const int n : d.attributes.numbers())
                ++counts[kind == Zodiac ? ((year - 1971 - n) % 12 + 12) % 12 : (n - 1) / 3];
        }
        for (qsizetype v = 0; v < counts.size(); ++v)
            QCOMPARE(got->bars[v].count, counts[v]);
        QVERIFY2(std::abs(percentageSum(*got) - 100) < 0.001 * got->resultRows.size(),
                 qPrintable(QString::number(percentageSum(*got))));
    }
}

QTEST_GUILESS_MAIN(HistoryFitTest)
#include "tst_historyfit.moc"
