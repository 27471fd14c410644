#include "draw/HistoryLine.h"
#include "FileFacts.h"
#include "import/TextImport.h"
#include "TestHistory.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <random>

using namespace quorvex;
using namespace quorvex::test;

namespace {

using Rows = TableRows;

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes,
                  const QString& name = QStringLiteral("import.txt")) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray lines(const QStringList& text) {
    return (text.join(historyLineEnd()) + historyLineEnd()).toUtf8();
}

QString problemCodes(const QVector<LineProblem>& problems) {
    static const QStringList names{"NoIssue",          "IssueNotPositive", "TooFewNumbers",
                                   "NumberOutOfRange", "NumberRepeated",   "IssueRepeated",
                                   "ExtraNumbersCut",  "IssueRunsOn",      "IssueTooShort"};
    QStringList out;
    for (const LineProblem& p : problems)
        out << QStringLiteral("%1:%2").arg(p.lineNumber).arg(names[p.reason]);
    return out.join(QLatin1Char(' '));
}

} // namespace

class TextImportTest : public QObject {
    Q_OBJECT
private slots:
    void replacedHistoryStartsWithoutPreviousDraw();
    void newestFirstFileGivesTheRowsAppendDrawGives();
    void zodiacCutoffOf2013();
    void problemLines_data();
    void problemLines();
    void repeatedIssueKeepsTheFirstLine();
    void unusableFileLeavesHistoryUnchanged_data();
    void unusableFileLeavesHistoryUnchanged();
    void aHistoryHasNoMoreUnreadableLinesThanDraws_data();
    void aHistoryHasNoMoreUnreadableLinesThanDraws();
    void failureHalfWayLeavesHistoryUnchanged_data();
    void failureHalfWayLeavesHistoryUnchanged();
    void otherEncodingsImport();
    void summaryNamesCountsAndFirstLines();
    void gapsAreStoredAndCounted_data();
    void gapsAreStoredAndCounted();
    void shippedSampleImportsCleanlyAndWritesBackTheSame();
};

void TextImportTest::replacedHistoryStartsWithoutPreviousDraw() {
    TempHistory h;
    h.appendMany(2012001, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
    QTemporaryDir dir;
    const ImportReport r = importHistoryFile(
        h.store(), writeFile(dir, lines({"2013001 03 07 09 11 14 ", "01 02 04 05 06"})), {});

    QVERIFY2(r.replaced, qPrintable(r.summary()));
    QCOMPARE(r.storedDraws, 2);
    QCOMPARE(storedIssues(h.store()), (QVector<qint64>{2013001, 2013002}));
    // The old last draw is gone, so it must not describe the new first draw.
    for (const char* column : {"txtHisLst", "txtHisLstHm", "txtHisLstSx", "txtHisLstDs",
                               "txtHisLstTou", "txtHisLstWei", "txtHisLstHe"})
        QCOMPARE(h.text(2013001, column), QString());
    QCOMPARE(h.text(2013002, "txtHisLst"), QString("03 07 09 11 14 "));
    QCOMPARE(h.text(2013002, "txtHisLstHm"), QString("1X03 1X07 1X09 1X11 1X14 "));
    QCOMPARE(h.integer(2013002, "QQH"), 2013003);
}

void TextImportTest::newestFirstFileGivesTheRowsAppendDrawGives() {
    // Across a year end and the 2013 zodiac cut-off.
    QVector<qint64> issues;
    for (qint64 i = 2012360; i <= 2012365; ++i)
        issues << i;
    for (qint64 i = 2013001; i <= 2013050; ++i)
        issues << i;

    TempHistory expected;
    for (int i = 0; i < issues.size(); ++i)
        expected.append(issues[i], drawFor(i));

    QStringList text;
    for (int i = int(issues.size()) - 1; i >= 0; --i)
        text << historyLine(issues[i], drawFor(i));
    TempHistory imported;
    imported.append(2011001, {15, 14, 13, 12, 11});
    QTemporaryDir dir;
    const ImportReport r = importHistoryFile(imported.store(), writeFile(dir, lines(text)), {});

    QVERIFY2(r.replaced, qPrintable(r.summary()));
    QVERIFY(r.problems.isEmpty());
    QCOMPARE(r.firstIssue, 2012360);
    QCOMPARE(r.lastIssue, 2013050);
    QCOMPARE(tableRows(imported.store()), tableRows(expected.store()));
}

void TextImportTest::zodiacCutoffOf2013() {
    TempHistory h;
    QTemporaryDir dir;
    const ImportReport r = importHistoryFile(
        h.store(), writeFile(dir, lines({"2013041 01 02 03 04 05", "2013042 01 02 03 04 05"})),
        ValueBases{1, 1});
    QVERIFY2(r.replaced, qPrintable(r.summary()));
    // 2013041 still draws from the 2012 (龙) lists: 01 is 龙, 02 is 兔; from 2013042 01 is 蛇.
    QCOMPARE(h.integer(2013041, "L1B"), 1 + 4);
    QCOMPARE(h.integer(2013041, "L2B"), 1 + 3);
    QCOMPARE(h.integer(2013042, "L1B"), 1 + 5);
    QCOMPARE(h.integer(2013042, "L2B"), 1 + 4);
    QCOMPARE(h.text(2013042, "txtHisLstSx"), QString("1X05 1X04 1X03 1X02 1X01 "));
}

void TextImportTest::problemLines_data() {
    QTest::addColumn<QStringList>("text");
    QTest::addColumn<QVector<qint64>>("stored");
    QTest::addColumn<QString>("problems");

    const QString a = "2013001 01 02 03 04 05", c = "2013003 06 07 08 09 10";
    QTest::newRow("fewer than five numbers")
        << QStringList{a, "2013002 3 7 9 11 14", c} << QVector<qint64>{2013001, 2013003}
        << "2:TooFewNumbers";
    QTest::newRow("number outside 1..15")
        << QStringList{a, "2013002 00 02 03 04 05", c, "2013004 01 02 03 04 16",
                       "2013005 15 14 13 12 11"}
        << QVector<qint64>{2013001, 2013003, 2013005} << "2:NumberOutOfRange 4:NumberOutOfRange";
    QTest::newRow("number repeated in the line")
        << QStringList{a, "2013002 01 02 03 02 05", c} << QVector<qint64>{2013001, 2013003}
        << "2:NumberRepeated";
    QTest::newRow("more than five numbers: no draw")
        << QStringList{a, "2013002 01 02 03 04 05 06", c} << QVector<qint64>{2013001, 2013003}
        << "2:ExtraNumbersCut";
    // Read as numbers 20, 13 and 02 these would be reported as a number outside 1..15.
    QTest::newRow("six-digit issue") << QStringList{a, "201302 06 07 08 09 10", c}
                                     << QVector<qint64>{2013001, 2013003} << "2:IssueTooShort";
    QTest::newRow("header without issue, blank lines ignored")
        << QStringList{"期号 号码", "", a, "", "   ", "06 07 08 09 10"}
        << QVector<qint64>{2013001, 2013002} << "1:NoIssue";
    QTest::newRow("skipped line still moves the issue on")
        << QStringList{a, "01 02", "11 12 13 14 15"} << QVector<qint64>{2013001, 2013003}
        << "2:TooFewNumbers";
    QTest::newRow("repeated issue stored once")
        << QStringList{a, c, "2013001 11 12 13 14 15"} << QVector<qint64>{2013001, 2013003}
        << "3:IssueRepeated";
    QTest::newRow("issue zero") << QStringList{"0000000 01 02 03 04 05", a, c}
                                << QVector<qint64>{2013001, 2013003} << "1:IssueNotPositive";
    // Read as 2013002 and 2202003 these would be misfiled.
    QTest::newRow("eighth digit after the issue")
        << QStringList{a, "20130025 06 07 08 09 10", c} << QVector<qint64>{2013001, 2013003}
        << "2:IssueRunsOn";
    QTest::newRow("eight-digit issue") << QStringList{"22020035 01 02 03 04 05", a, c}
                                       << QVector<qint64>{2013001, 2013003} << "1:IssueRunsOn";
}

void TextImportTest::problemLines() {
    QFETCH(QStringList, text);
    QFETCH(QVector<qint64>, stored);
    QFETCH(QString, problems);
    TempHistory h;
    QTemporaryDir dir;
    const QString path = writeFile(dir, lines(text));
    // Refused unless accepted: nothing changes, and the refusal names the first line left out
    // with its text.
    const ImportReport refused = importHistoryFile(h.store(), path, {});
    QVERIFY(refused.refusedFaults && !refused.replaced);
    const LineProblem& first = refused.problems.first();
    QVERIFY2(refused.error.contains(first.describe() + QStringLiteral("（%1）").arg(first.text)),
             qPrintable(refused.error));
    QVERIFY(!first.text.isEmpty() && text.contains(first.text));
    QCOMPARE(h.store().drawCount(), 0);
    const ImportReport r = importHistoryFile(h.store(), path, {}, nullptr, ImportFaults::Accept);
    QVERIFY2(r.replaced, qPrintable(r.summary()));
    QCOMPARE(storedIssues(h.store()), stored);
    QCOMPARE(r.storedDraws, int(stored.size()));
    QCOMPARE(problemCodes(r.problems), problems);
}

void TextImportTest::repeatedIssueKeepsTheFirstLine() {
    TempHistory h;
    QTemporaryDir dir;
    const ImportReport r =
        importHistoryFile(h.store(),
                          writeFile(dir, lines({"2013002 11 12 13 14 15", "2013001 01 02 03 04 05",
                                                "2013002 06 07 08 09 10"})),
                          {}, nullptr, ImportFaults::Accept);
    QVERIFY2(r.replaced, qPrintable(r.summary()));
    QCOMPARE(h.text(2013002, "txtHisLst"), QString("01 02 03 04 05 "));
    QCOMPARE(h.integer(2013002, "L1A"), 11);
    QCOMPARE(r.problems.size(), 1);
    QCOMPARE(r.problems[0].describe(),
             QString("第 3 行：期号 2013002 与第 1 行重复，保留了第 1 行"));
    // The lines were sorted by issue: the problem still quotes its own line.
    QCOMPARE(r.problems[0].text, QString("2013002 06 07 08 09 10"));
}

void TextImportTest::unusableFileLeavesHistoryUnchanged_data() {
    QTest::addColumn<QString>("kind"); // file, missing, folder, oversized
    QTest::addColumn<QByteArray>("bytes");

    std::mt19937 rng(45);
    QByteArray noise(4 * 1024 * 1024, Qt::Uninitialized);
    for (char& c : noise)
        c = char(rng() & 0xFF);
    // Printable noise: letters, digits, blanks and line ends only.
    const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyz0123456789 ,.;\n";
    QByteArray printable(4 * 1024 * 1024, Qt::Uninitialized);
    for (char& c : printable)
        c = alphabet[rng() % alphabet.size()];
    QByteArray highBytes;
    for (int i = 0; i < 4000; ++i)
        highBytes += char(0x80 + rng() % 0x40);

    QTest::newRow("empty file") << "file" << QByteArray();
    QTest::newRow("blanks only") << "file" << QByteArray(" \r\n\t\r\n  \r\n");
    QTest::newRow("binary with NUL bytes")
        << "file" << QByteArray("2013001 01 02 03 04 05\r\n\0\0\0\x01\x02", 29);
    QTest::newRow("invalid UTF-8, mostly high bytes") << "file" << highBytes;
    QTest::newRow("several MB of random bytes") << "file" << noise;
    QTest::newRow("several MB of printable noise") << "file" << printable;
    QTest::newRow("no valid draw")
        << "file" << lines({"2013001 1 2 3 4 5", "hello", "2013002 01 01 01 01 01"});
    QTest::newRow("mostly unreadable lines")
        << "file" << lines({"2013001 01 02 03 04 05", "x", "y 07", "2013009 99"});
    QTest::newRow("missing file") << "missing" << QByteArray();
    QTest::newRow("folder") << "folder" << QByteArray();
    QTest::newRow("larger than the limit") << "oversized" << QByteArray();
    QTest::newRow("the history database itself") << "database" << QByteArray();
    QTest::newRow("a link to the history database") << "database link" << QByteArray();
}

void TextImportTest::unusableFileLeavesHistoryUnchanged() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    TempHistory h;
    h.appendMany(2012001, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {11, 12, 13, 14, 15}});
    const Rows before = tableRows(h.store());

    QTemporaryDir dir;
    QString path = dir.filePath("absent.txt");
    if (kind == "file") {
        path = writeFile(dir, bytes);
    } else if (kind == "folder") {
        path = dir.path();
    } else if (kind == "oversized") {
        path = writeFile(dir, lines({"2013001 01 02 03 04 05"}));
        QFile f(path);
        QVERIFY(f.resize(kMaxHistoryFileBytes + 1)); // sparse: costs no disk
    } else if (kind == "database") {
        path = h.store().databasePath();
    } else if (kind == "database link") {
        path = dir.filePath("draws.txt");
        QVERIFY(QFile::link(h.store().databasePath(), path));
    }
    const ImportReport r = importHistoryFile(h.store(), path, {});
    if (kind.startsWith("database"))
        QVERIFY2(r.error.contains(QStringLiteral("是历史数据库本身")), qPrintable(r.error));

    QVERIFY(!r.replaced);
    QVERIFY(r.error.contains(QStringLiteral("未作改动")));
    QVERIFY(r.summary().startsWith(r.error));
    QCOMPARE(r.storedDraws, 0);
    QCOMPARE(tableRows(h.store()), before);
}

void TextImportTest::aHistoryHasNoMoreUnreadableLinesThanDraws_data() {
    QTest::addColumn<int>("draws");
    QTest::addColumn<int>("unreadable");
    for (const int draws : {1, 5})
        for (const int unreadable : {draws - 1, draws, draws + 1})
            QTest::addRow("%d draws, %d unreadable lines", draws, unreadable)
                << draws << unreadable;
}

// As many unreadable lines as draws: a history with bad lines. One more: the wrong file.
void TextImportTest::aHistoryHasNoMoreUnreadableLinesThanDraws() {
    QFETCH(int, draws);
    QFETCH(int, unreadable);
    QStringList text;
    for (int i = 0; i < draws; ++i)
        text << historyLine(2013001 + i, {1 + i, 2 + i, 3 + i, 4 + i, 5 + i});
    for (int i = 0; i < unreadable; ++i)
        text << QStringLiteral("no draw here");
    QTemporaryDir dir;
    const HistoryFileContents read = readHistoryFile(writeFile(dir, lines(text)));
    const bool history = unreadable <= draws;
    QVERIFY2(read.error.isEmpty() == history, qPrintable(read.error));
    QCOMPARE(read.draws.size(), history ? draws : 0);
}

void TextImportTest::failureHalfWayLeavesHistoryUnchanged_data() {
    QTest::addColumn<QString>("sabotage");
    QTest::addColumn<QString>("cleanup");
    QTest::newRow("disk full") << "PRAGMA max_page_count = %1"
                               << "PRAGMA max_page_count = 1073741823";
    QTest::newRow("row refused by the database")
        << "CREATE TRIGGER refuse BEFORE INSERT ON Lishi WHEN NEW.SQQH = 2013300 "
           "BEGIN SELECT RAISE(ABORT, 'refused'); END"
        << "DROP TRIGGER refuse";
}

void TextImportTest::failureHalfWayLeavesHistoryUnchanged() {
    QFETCH(QString, sabotage);
    QFETCH(QString, cleanup);
    TempHistory h;
    QVector<Numbers> old;
    for (int i = 0; i < 20; ++i)
        old << drawFor(i + 3);
    h.appendMany(2012001, old);
    const Rows before = tableRows(h.store());

    QStringList text;
    for (int i = 0; i < 3000; ++i)
        text << historyLine(2013001 + i, drawFor(i));
    QTemporaryDir dir;
    const QString path = writeFile(dir, lines(text));

    QSqlQuery q(h.store().database());
    QVERIFY(q.exec("PRAGMA page_count") && q.next());
    // Room for the old rows, not for 3,000 new ones.
    const int pages = q.value(0).toInt() + 2;
    QVERIFY(q.exec(sabotage.contains("%1") ? sabotage.arg(pages) : sabotage));
    const ImportReport r = importHistoryFile(h.store(), path, {});
    QVERIFY(!r.replaced);
    // It failed while storing rows, after the old rows were deleted inside the transaction.
    QVERIFY2(r.error.contains(QStringLiteral("保存第")), qPrintable(r.error));
    QVERIFY2(r.error.contains(QStringLiteral("未作改动")), qPrintable(r.error));
    QCOMPARE(tableRows(h.store()), before);

    // The store stays usable: the same file imports once the cause is gone.
    QVERIFY(q.exec(cleanup));
    const ImportReport again = importHistoryFile(h.store(), path, {});
    QVERIFY2(again.replaced, qPrintable(again.summary()));
    QVERIFY2(again.summary().contains(QStringLiteral("原有历史号码已被替换")),
             qPrintable(again.summary()));
    QCOMPARE(h.store().drawCount(), 3000);
}

void TextImportTest::otherEncodingsImport() {
    const QString draws = "2013001 01 02 03 04 05\r\n2013002 06 07 08 09 10\r\n";
    QByteArray utf16 = "\xFF\xFE";
    for (QChar c : draws)
        utf16 += char(c.unicode()) + QByteArray(1, '\0');
    // A legacy-encoded Chinese header line ("期号" in GBK) above the draws.
    const QByteArray legacy = QByteArray("\xC6\xDA\xBA\xC5\r\n") + draws.toLatin1();

    for (const QByteArray& bytes : {utf16, legacy}) {
        TempHistory h;
        QTemporaryDir dir;
        const ImportReport r =
            importHistoryFile(h.store(), writeFile(dir, bytes), {}, nullptr, ImportFaults::Accept);
        QVERIFY2(r.replaced, qPrintable(r.summary()));
        QCOMPARE(storedIssues(h.store()), (QVector<qint64>{2013001, 2013002}));
    }
}

void TextImportTest::summaryNamesCountsAndFirstLines() {
    QStringList text;
    for (int i = 0; i < 20; ++i)
        text << (i % 3 == 1 ? QStringLiteral("2013%1 01 02").arg(i + 1, 3, 10, QLatin1Char('0'))
                            : historyLine(2013001 + i, drawFor(i)));
    TempHistory h;
    QTemporaryDir dir;
    const ImportReport r = importHistoryFile(h.store(), writeFile(dir, lines(text)), {}, nullptr,
                                             ImportFaults::Accept);
    QVERIFY2(r.replaced, qPrintable(r.summary()));
    QCOMPARE(r.skippedLines(), 7);
    const QString s = r.summary();
    // Into an empty history: nothing was there to be replaced.
    QVERIFY2(s.startsWith(QStringLiteral("已读入 13 期历史号码（第 2013001 至 2013019 期）。")),
             qPrintable(s));
    QVERIFY(!s.contains(QStringLiteral("替换")));
    QVERIFY(s.contains(QStringLiteral("有 7 行未读入")));
    QVERIFY(s.contains(QStringLiteral("第 2 行：只有 2 个两位数号码")));
    QVERIFY(s.contains(QStringLiteral("第 14 行：只有 2 个两位数号码")));
    QVERIFY(!s.contains(QStringLiteral("第 17 行")));
    QVERIFY(s.contains(QStringLiteral("另有 2 行未列出")));
}

void TextImportTest::gapsAreStoredAndCounted_data() {
    QTest::addColumn<QVector<qint64>>("issues");
    QTest::addColumn<QString>("gapLine"); // empty: the summary mentions no gap
    QTest::addColumn<QString>("notListed");
    QTest::newRow("none, over a year's end")
        << QVector<qint64>{2013119, 2013120, 2014001} << QString() << QString();
    QTest::newRow("one issue") << QVector<qint64>{2013043, 2013044, 2013046}
                               << QStringLiteral("期号有 1 处不连续：缺第 2013045 期。")
                               << QString();
    QTest::newRow("a run") << QVector<qint64>{2013001, 2013007}
                           << QStringLiteral(
                                  "期号有 1 处不连续：缺第 2013002 至 2013006 期（5 期）。")
                           << QString();
    QTest::newRow("a year not from 001")
        << QVector<qint64>{2013120, 2014003}
        << QStringLiteral("期号有 1 处不连续：第 2013120 期之后是第 2014003 期。") << QString();
    QTest::newRow("the first three of four")
        << QVector<qint64>{2013001, 2013003, 2013005, 2013007, 2013009}
        << QStringLiteral(
               "期号有 4 处不连续：缺第 2013002 期；缺第 2013004 期；缺第 2013006 期；……")
        << QStringLiteral("2013008");
}

void TextImportTest::gapsAreStoredAndCounted() {
    QFETCH(QVector<qint64>, issues);
    QFETCH(QString, gapLine);
    QFETCH(QString, notListed);
    QStringList text;
    for (int i = 0; i < issues.size(); ++i)
        text << historyLine(issues[i], drawFor(i));
    TempHistory h;
    QTemporaryDir dir;
    const ImportReport r = importHistoryFile(h.store(), writeFile(dir, lines(text)), {}, nullptr,
                                             ImportFaults::Accept);
    QVERIFY2(r.replaced, qPrintable(r.summary()));
    QCOMPARE(storedIssues(h.store()), issues);
    const QString s = r.summary();
    if (gapLine.isEmpty())
        QVERIFY2(!s.contains(QStringLiteral("不连续")), qPrintable(s));
    else
        QVERIFY2(s.contains(gapLine), qPrintable(s));
    if (!notListed.isEmpty())
        QVERIFY2(!s.contains(notListed), qPrintable(s));
}

void TextImportTest::shippedSampleImportsCleanlyAndWritesBackTheSame() {
    const QString path = QFINDTESTDATA("../../data/历史号码/模拟历史号码-示例.txt");
    QVERIFY(!path.isEmpty());
    TempHistory h;
    const ImportReport r = importHistoryFile(h.store(), path, {});
    QVERIFY2(r.replaced, qPrintable(r.summary()));
    QVERIFY(r.problems.isEmpty());
    QCOMPARE(r.firstIssue, 2019001);
    QCOMPARE(r.lastIssue, 2026340);
    QCOMPARE(r.storedDraws, 7 * 365 + 340);

    QString written;
    const HistoryView view = readHistoryView(h.store());
    for (const StoredDraw& d : view.rows())
        written += historyLine(d.issue, d.attributes.numbers()) + historyLineEnd();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(written.toUtf8(), f.readAll());
}

QTEST_GUILESS_MAIN(TextImportTest)
#include "tst_textimport.moc"
