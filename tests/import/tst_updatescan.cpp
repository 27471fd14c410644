#include "import/ResultsPage.h"
#include "import/UpdatePlan.h"

#include <QtTest>

using namespace quorvex;

namespace {

// One line of a results text: issue, a 13-character middle, then the numbers as given.
QString line(qint64 issue, const QString& numbers) {
    return QStringLiteral("%1\t13-01-01 周二\t%2\n").arg(issue).arg(numbers);
}

QList<qint64> issues(const YearScan& scan) {
    QList<qint64> out;
    for (const ScannedDraw& d : scan.draws)
        out << d.issue;
    return out;
}

} // namespace

class UpdateScanTest : public QObject {
    Q_OBJECT
private slots:
    void plan_data();
    void plan();
    void firstSequence();
    void address_data();
    void address();
    void readsNumbersAtFixedOffsets();
    void scanEnds_data();
    void scanEnds();
    void neverReadsPastSequence365();
};

void UpdateScanTest::plan_data() {
    QTest::addColumn<qint64>("first"); // 0: empty history
    QTest::addColumn<qint64>("last");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("clear");
    QTest::addColumn<int>("firstYear");
    QTest::addColumn<qint64>("continues"); // 0: from 001 of the first year
    QTest::newRow("same year") << 2012001LL << 2013040LL << 3 << 2013 << false << 2013 << 2013040LL;
    QTest::newRow("into the next year")
        << 2012001LL << 2013360LL << 3 << 2014 << false << 2013 << 2013360LL;
    QTest::newRow("empty history") << 0LL << 0LL << 3 << 2026 << false << 2023 << 0LL;
    QTest::newRow("older than kept: cleared")
        << 2021001LL << 2025100LL << 3 << 2026 << true << 2023 << 0LL;
    QTest::newRow("exactly as old as kept")
        << 2023001LL << 2025100LL << 3 << 2026 << false << 2025 << 2025100LL;
    QTest::newRow("before 2008 starts at 2008")
        << 2005001LL << 2005300LL << 16 << 2013 << false << 2008 << 2005300LL;
    QTest::newRow("history ahead of today")
        << 2013001LL << 2014010LL << 3 << 2013 << false << 2014 << 2014010LL;
}

void UpdateScanTest::plan() {
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QFETCH(int, days);
    QFETCH(int, year);
    QFETCH(bool, clear);
    QFETCH(int, firstYear);
    QFETCH(qint64, continues);
    const UpdatePlan p = planUpdate(first ? std::optional(first) : std::nullopt,
                                    last ? std::optional(last) : std::nullopt, days, year);
    QCOMPARE(p.clearHistory, clear);
    QCOMPARE(p.firstYear, firstYear);
    QCOMPARE(p.lastYear, year);
    QCOMPARE(p.continues.value_or(0), continues);
    QCOMPARE(p.years().size(), std::max(0, year - firstYear + 1));
}

void UpdateScanTest::firstSequence() {
    const UpdatePlan p = planUpdate(2012001, 2013360, 3, 2014);
    QCOMPARE(p.firstSequence(2013), 361);
    QCOMPARE(p.firstSequence(2014), 1);
    // The 2005 history continues at 2008 from 001, not from 301.
    const UpdatePlan old = planUpdate(2005001, 2005300, 16, 2013);
    QCOMPARE(old.firstSequence(2008), 1);
    QCOMPARE(planUpdate(2013001, 2013365, 3, 2013).firstSequence(2013), 366);
}

void UpdateScanTest::address_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("url"); // empty: refused
    const QString path =
        QStringLiteral("/kaijiang/xw?lotId=223515&chartType=zhfb&spanType=3&span=2013001_2013365");
    QTest::newRow("https") << "https://results.example"
                           << "https://results.example" + path;
    QTest::newRow("http, port, slash") << " http://127.0.0.1:8080/ "
                                       << "http://127.0.0.1:8080" + path;
    QTest::newRow("prefix") << "https://h.example/lot"
                            << "https://h.example/lot" + path;
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blank") << "   "
                           << "";
    QTest::newRow("ftp") << "ftp://h.example"
                         << "";
    QTest::newRow("file") << "file:///etc/passwd"
                          << "";
    QTest::newRow("no scheme") << "h.example"
                               << "";
    QTest::newRow("no host") << "http://"
                             << "";
    QTest::newRow("query") << "http://h.example/?a=1"
                           << "";
    QTest::newRow("javascript") << "javascript:alert(1)"
                                << "";
}

void UpdateScanTest::address() {
    QFETCH(QString, base);
    QFETCH(QString, url);
    QString error;
    const auto result = resultsPageUrl(base, 2013, &error);
    if (url.isEmpty()) {
        QVERIFY(!result);
        QVERIFY(!error.isEmpty());
    } else {
        QVERIFY2(result, qPrintable(error));
        QCOMPARE(result->toString(), url);
    }
}

void UpdateScanTest::readsNumbersAtFixedOffsets() {
    // Separators are not read: any single character between the numbers will do, and the
    // 13 characters after the issue are skipped whatever they hold.
    const QString text =
        QStringLiteral("页头 2013099 不算\n") + line(2013041, "03\t07\t09\t11\t14") +
        QStringLiteral("2013042xxxxxxxxxxxxx15,01|02 10-04 ") + line(2013043, "03  7  9 11 14");
    const YearScan scan = scanResultsText(text, 2013, 41, std::nullopt);
    QCOMPARE(issues(scan), (QList<qint64>{2013041, 2013042, 2013043}));
    QCOMPARE(scan.draws[0].numbers, (Numbers{3, 7, 9, 11, 14}));
    QCOMPARE(scan.draws[1].numbers, (Numbers{15, 1, 2, 10, 4}));
    QCOMPARE(scan.draws[2].numbers, (Numbers{3, 7, 9, 11, 14}));
    QCOMPARE(scan.end, YearScan::End::MissingIssue);
    QCOMPARE(scan.endIssue, 2013044);
}

void UpdateScanTest::scanEnds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("limit"); // empty: none
    QTest::addColumn<int>("taken");
    QTest::addColumn<int>("end");
    QTest::addColumn<qint64>("endIssue");
    QTest::addColumn<bool>("endsEarly"); // the page lists a draw at or after endIssue
    QTest::addColumn<bool>("noDraw");    // the page lists no draw of the year
    const QString ok1 = line(2013001, "01 02 03 04 05");
    const QString ok2 = line(2013002, "06 07 08 09 10");
    const QString ok3 = line(2013003, "11 12 13 14 15");
    const int missing = int(YearScan::End::MissingIssue), limit = int(YearScan::End::ReachedLimit),
              notDrawn = int(YearScan::End::NotDrawn), invalid = int(YearScan::End::InvalidNumbers);
    QTest::newRow("gap") << ok1 + ok3 << "" << 1 << missing << 2013002LL << true << false;
    QTest::newRow("gap far below") << ok1 + line(2013300, "01 02 03 04 05") << "" << 1 << missing
                                   << 2013002LL << true << false;
    QTest::newRow("year's end") << ok1 + ok2 << "" << 2 << missing << 2013003LL << false << false;
    QTest::newRow("next year's draws do not count") << ok1 + line(2014001, "01 02 03 04 05") << ""
                                                    << 1 << missing << 2013002LL << false << false;
    // Only an issue's first occurrence counts, for the scan and for the page's last draw alike.
    QTest::newRow("issue named first without numbers")
        << QStringLiteral("最新一期：2013003 期\n") + ok1 + ok2 + ok3 << "" << 2 << notDrawn
        << 2013003LL << false << false;
    QTest::newRow("no draws") << "暂无开奖数据"
                              << "" << 0 << missing << 2013001LL << false << true;
    QTest::newRow("only issues without numbers")
        << line(2013001, "--") << "" << 0 << notDrawn << 2013001LL << false << true;
    QTest::newRow("not drawn yet at the end")
        << ok1 + line(2013002, "--") << "" << 1 << notDrawn << 2013002LL << false << false;
    QTest::newRow("not drawn inside")
        << ok1 + line(2013002, "--") + ok3 << "" << 1 << notDrawn << 2013002LL << true << false;
    QTest::newRow("number 16") << ok1 + line(2013002, "01 16 03 04 05") + ok3 << "" << 1 << invalid
                               << 2013002LL << true << false;
    // An invalid draw is a listed draw: the history cannot reach it.
    QTest::newRow("number 00 last") << ok1 + line(2013002, "00 02 03 04 05") << "" << 1 << invalid
                                    << 2013002LL << true << false;
    QTest::newRow("repeated") << line(2013001, "04 02 03 04 05") << "" << 0 << invalid << 2013001LL
                              << true << false;
    QTest::newRow("letter") << line(2013001, "01 0x 03 04 05") << "" << 0 << invalid << 2013001LL
                            << true << false;
    QTest::newRow("cut short") << QStringLiteral("2013001\t13-01-01 周二\t01 02 03 04 0") << "" << 0
                               << invalid << 2013001LL << true << false;
    QTest::newRow("limit ends") << ok1 + ok2 + ok3 << "2013002" << 0 << limit << 2013001LL << true
                                << false;
    QTest::newRow("limit below") << ok1 + ok2 + ok3 << "2012999" << 3 << missing << 2013004LL
                                 << false << false;
}

void UpdateScanTest::scanEnds() {
    QFETCH(QString, text);
    QFETCH(QString, limit);
    QFETCH(int, taken);
    QFETCH(int, end);
    QFETCH(qint64, endIssue);
    QFETCH(bool, endsEarly);
    QFETCH(bool, noDraw);
    const YearScan scan =
        scanResultsText(text, 2013, 1, limit.isEmpty() ? std::nullopt : std::optional(limit));
    QCOMPARE(scan.draws.size(), taken);
    QCOMPARE(int(scan.end), end);
    QCOMPARE(scan.endIssue, endIssue);
    QCOMPARE(scan.endsEarly(), endsEarly);
    QCOMPARE(scan.listsNoDraw(), noDraw);
}

void UpdateScanTest::neverReadsPastSequence365() {
    QString text;
    for (int s = 360; s <= 366; ++s)
        text += line(2013000 + s, "01 02 03 04 05");
    const YearScan scan = scanResultsText(text, 2013, 361, std::nullopt);
    QCOMPARE(issues(scan).constLast(), 2013365);
    QCOMPARE(scan.draws.size(), 5);
    QCOMPARE(scan.end, YearScan::End::PastLastSequence);
    QVERIFY(scanResultsText(text, 2013, 366, std::nullopt).draws.isEmpty());
}

QTEST_GUILESS_MAIN(UpdateScanTest)
#include "tst_updatescan.moc"
