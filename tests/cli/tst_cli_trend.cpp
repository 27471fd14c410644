// quorvex-cli trend: its options reach the core's trend, and its grids are the core's cells
// (its refusals are in tst_cli_search's tables, its reading only in tst_cli_trust).
#include "CliHome.h"

#include "analysis/FairOmission.h"
#include "analysis/TrendFigures.h"
#include "cli/GridPrinter.h"
#include "presentation/TrendGridTexts.h"
#include "store/HistoryStore.h"

#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

class CliTrendTest : public QObject {
    Q_OBJECT
private slots:
    void gridsAreTheCores_data();
    void gridsAreTheCores();
};

void CliTrendTest::gridsAreTheCores_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("bases"); // SxIni and DsIni alike
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<bool>("summary");
    QTest::newRow("zodiac by name, a range across a new year, base 0")
        << QStringList{"--kind", "Zodiac", "--from", "2001300", "--to", "2002100"} << int(Zodiac)
        << 0 << qint64(2001300) << qint64(2002100) << false;
    QTest::newRow("segment by index, the last 40, summary")
        << QStringList{"--kind", "5", "--last", "40", "--summary"} << int(Segment) << 1
        << qint64(2002326) << qint64(2002365) << true;
    QTest::newRow("number by default, everything, summary")
        << QStringList{"--summary"} << int(Number) << 1 << qint64(2001001) << qint64(2002365)
        << true;
    QTest::newRow("tail from an issue on")
        << QStringList{"--kind", "tail", "--from", "2002360"} << int(Tail) << 0 << qint64(2002360)
        << qint64(2002365) << false;
}

void CliTrendTest::gridsAreTheCores() {
    QFETCH(QStringList, options);
    QFETCH(int, kind);
    QFETCH(int, bases);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QFETCH(bool, summary);
    CliHome home;
    QVERIFY(home.isValid());
    QFile ini(QDir(home.path()).filePath(QStringLiteral("config/Trelvane.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[IniSetting]\nSxIni=%1\nDsIni=%1\n").arg(bases).toLatin1());
    ini.close();
    QCOMPARE(home.run({"import", home.writeFile("h.txt", historyText(730, 4))}).code, 0);
    const CliResult csv = home.run(QStringList{"trend", "--format", "csv"} + options);
    QVERIFY2(csv.code == 0, qPrintable(csv.err));
    const CliResult table = home.run(QStringList{"trend"} + options);
    QVERIFY2(table.code == 0, qPrintable(table.err));

    HistoryStore store;
    QString error;
    QVERIFY(store.open(home.folder(), &error, HistoryAccess::ReadOnly));
    HistorySnapshot snapshot;
    QVERIFY2(snapshot.refresh(store, trendColumns(), &error), qPrintable(error));
    const auto trend = trendFigures(snapshot, {kind, {bases, bases}, first, last}, &error);
    QVERIFY2(trend, qPrintable(error));
    cli::Grid grid;
    if (summary) {
        grid.header = trendSummaryHeader();
        const auto rows = trendSummaryRows(*trend, fairOmission(*trend));
        grid.rows = rows;
    } else {
        grid.header = trendGridHeader(*trend);
        QVector<QStringList> rows;
        for (qsizetype row = 0; row < trend->rows(); ++row)
            rows << trendGridRow(*trend, row);
        grid.rows = rows;
    }
    QCOMPARE(csv.out, cli::formatCsv(grid));
    // The table says what it covers before a summary, and is nothing but the grid otherwise.
    QCOMPARE(table.out,
             (summary ? trendSummaryCaption(*trend) + "\n" : QString()) + cli::formatTable(grid));
}

QTEST_GUILESS_MAIN(CliTrendTest)
#include "tst_cli_trend.moc"
