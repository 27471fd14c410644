// quorvex-cli backtest: its options reach the backtest, and its rows and summary are the
// backtest's.
#include "CliHome.h"
#include "HistoryView.h"
#include "presentation/BacktestGridTexts.h"

#include "analysis/Backtest.h"
#include "analysis/ResultTally.h"

#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

class CliBacktestTest : public QObject {
    Q_OBJECT
private slots:
    void rowsAndSummaryAreTheBacktests_data();
    void rowsAndSummaryAreTheBacktests();
    void badOptionsExitTwo_data();
    void badOptionsExitTwo();
};

void CliBacktestTest::rowsAndSummaryAreTheBacktests_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("free");
    QTest::addColumn<int>("lag");
    QTest::addColumn<int>("combo");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("resultKind");
    QTest::newRow("fixed, lag 2, tail by zodiac")
        << QStringList{"--kind", "tail",        "--result", "zodiac", "--mode", "fixed",  "--lag",
                       "2",      "--positions", "1,4",      "--top",  "2",      "--last", "40"}
        << false << 2 << 0 << int(Tail) << int(Zodiac);
    QTest::newRow("free combination, k 2, a range")
        << QStringList{"--kind", "zodiac", "--combo", "2", "--from", "2002100", "--to", "2002130"}
        << true << 1 << 2 << int(Zodiac) << int(Number);
}

void CliBacktestTest::rowsAndSummaryAreTheBacktests() {
    QFETCH(QStringList, options);
    QFETCH(bool, free);
    QFETCH(int, lag);
    QFETCH(int, combo);
    QFETCH(int, kind);
    QFETCH(int, resultKind);
    CliHome home;
    QVERIFY(home.isValid());
    QCOMPARE(home.run({"import", home.writeFile("h.txt", historyText(600, 9))}).code, 0);
    const CliResult csv = home.run(QStringList{"backtest", "--format", "csv"} + options);
    QVERIFY2(csv.code == 0, qPrintable(csv.err));
    const CliResult table = home.run(QStringList{"backtest"} + options);
    QCOMPARE(table.code, 0);

    HistoryStore store;
    QString error;
    QVERIFY(store.open(home.folder(), &error, HistoryAccess::ReadOnly));
    const HistoryView view = readHistoryView(store);
    BacktestRequest b;
    SearchRequest& r = b.search;
    r.bolZyw = free;
    r.bolSq = lag == 1;
    r.intPreQi = lag;
    r.intLei = kind;
    r.intXianshiLei = resultKind;
    r.bolPosSel = combo ? std::array<bool, kPositions>{true, true, true, true, true}
                        : std::array<bool, kPositions>{true, false, false, true, false};
    r.startIssue = view.first()->issue + lag;
    b.combinedPositions = combo;
    b.topK = combo ? 3 : 2;
    b.firstIssue = combo ? 2002100 : view.rows()[view.size() - 40].issue;
    b.lastIssue = combo ? 2002130 : view.last()->issue;
    HistorySnapshot snapshot;
    QVERIFY(snapshot.refresh(store, backtestColumns(b), &error));
    const auto want = runBacktest(snapshot, b, {});
    QVERIFY2(want, qPrintable(error));

    const QStringList lines = csv.out.split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QString("期号,前K个结果,开奖,命中,期望"));
    QCOMPARE(lines.size() - 1, want->rows.size());
    for (qsizetype i = 0; i < want->rows.size(); ++i) {
        const BacktestRow& row = want->rows[i];
        QStringList top, drawn;
        for (const int v : row.top)
            top << valueLabel(r.intXianshiLei, v, 1);
        for (const int v : row.drawn)
            drawn << valueLabel(r.intXianshiLei, v, 1);
        QCOMPARE(lines[i + 1],
                 QStringList({QString::number(row.issue), top.join(' '), drawn.join(' '),
                              QString::number(row.hits), QString::number(row.expected, 'f', 3)})
                     .join(','));
    }
    QVERIFY(table.out.endsWith(backtestSummary(*want) + "\n"));
    const CliResult summary = home.run(QStringList{"backtest", "--summary"} + options);
    QCOMPARE(summary.out, backtestSummary(*want) + "\n");
}

void CliBacktestTest::badOptionsExitTwo_data() {
    QTest::addColumn<QStringList>("options");
    QTest::newRow("typed values") << QStringList{"--values", "1,2,3,4,5"};
    QTest::newRow("a verified issue") << QStringList{"--verify", "2001050"};
    QTest::newRow("last and a range") << QStringList{"--last", "5", "--from", "2001010"};
    QTest::newRow("range backwards") << QStringList{"--from", "2001090", "--to", "2001010"};
}

void CliBacktestTest::badOptionsExitTwo() {
    QFETCH(QStringList, options);
    CliHome home;
    QCOMPARE(home.run({"import", home.writeFile("h.txt", historyText(100, 2))}).code, 0);
    const CliResult r = home.run(QStringList{"backtest"} + options);
    QCOMPARE(r.code, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.count('\n') == 1, qPrintable(r.err));
}

QTEST_GUILESS_MAIN(CliBacktestTest)
#include "tst_cli_backtest.moc"
