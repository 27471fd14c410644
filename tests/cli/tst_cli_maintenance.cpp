#include "CliProcess.h"
#include "FileFacts.h"
#include "HistoryFileQueries.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>

#include <QtTest>

#include <sys/stat.h>

namespace {

using Result = quorvex::test::CliResult;
using quorvex::test::queryHistoryFile;
using quorvex::test::readAll;
using quorvex::test::storedField;

const QStringList kDraws{"2013041 03 07 09 11 14", "2013042 03 07 09 11 14",
                         "2013043 01 02 04 05 06", "2013044 15 10 08 12 09",
                         "2013045 06 05 04 03 02"};

} // namespace

class CliMaintenanceTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void commandsPrintWhatTheyRemoved_data();
    void commandsPrintWhatTheyRemoved();
    void badUsageChangesNothing_data();
    void badUsageChangesNothing();
    void rebuildUsesTheStoredBases();
    void failedRebuildExitsOneAndKeepsTheHistory_data();
    void failedRebuildExitsOneAndKeepsTheHistory();
    void undoAndRedoWalkEveryCommand();
    void searchOnValuesOfOtherBasesIsRefused_data();
    void searchOnValuesOfOtherBasesIsRefused();

private:
    Result cli(const QStringList& arguments);
    // Issue and numbers of every stored draw, as history lines.
    QStringList stored();
    QVariant field(qint64 issue, const QString& column);
    // Every stored field of every row, as the sqlite3 program would dump it.
    QStringList dump();

    std::unique_ptr<QTemporaryDir> home_;
    QString folder_;
};

void CliMaintenanceTest::init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("history")));
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("config")));
    folder_ = home_->filePath(QStringLiteral("history"));
    QFile file(home_->filePath(QStringLiteral("draws.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((kDraws.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    file.close();
    const Result r = cli({"import", file.fileName()});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(stored(), kDraws);
}

Result CliMaintenanceTest::cli(const QStringList& arguments) {
    return quorvex::test::runProgram(
        QStringList{QStringLiteral(QUORVEX_CLI_PATH), QStringLiteral("--dir"), folder_} + arguments,
        home_->path());
}

QStringList CliMaintenanceTest::stored() {
    QStringList lines;
    queryHistoryFile(
        folder_, QStringLiteral("SELECT SQQH,L1A,L2A,L3A,L4A,L5A FROM Lishi ORDER BY SQQH"), {},
        [&lines](const QSqlQuery& q) {
            QString line = q.value(0).toString();
            for (int i = 1; i <= 5; ++i)
                line += QStringLiteral(" %1").arg(q.value(i).toInt(), 2, 10, QLatin1Char('0'));
            lines << line;
        });
    return lines;
}

QStringList CliMaintenanceTest::dump() {
    QStringList rows;
    queryHistoryFile(folder_, QStringLiteral("SELECT * FROM Lishi ORDER BY SQQH"), {},
                     [&rows](const QSqlQuery& q) {
                         QStringList cells;
                         for (int c = 0; c < q.record().count(); ++c)
                             cells
                                 << (q.isNull(c) ? QStringLiteral("NULL") : q.value(c).toString());
                         rows << cells.join(QLatin1Char('|'));
                     });
    return rows;
}

QVariant CliMaintenanceTest::field(qint64 issue, const QString& column) {
    return storedField(folder_, issue, column);
}

void CliMaintenanceTest::commandsPrintWhatTheyRemoved_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("kept");
    QTest::newRow("delete-last") << QStringList{"delete-last"} << 4;
    QTest::newRow("drop-last 2") << QStringList{"drop-last", "2"} << 3;
    QTest::newRow("keep-to 2013042") << QStringList{"keep-to", "2013042"} << 2;
    QTest::newRow("keep-to the last issue") << QStringList{"keep-to", "2013045"} << 5;
    QTest::newRow("keep-to below the first") << QStringList{"keep-to", "2012001"} << 0;
    QTest::newRow("clear --yes") << QStringList{"clear", "--yes"} << 0;
    QTest::newRow("rebuild") << QStringList{"rebuild"} << 5;
}

void CliMaintenanceTest::commandsPrintWhatTheyRemoved() {
    QFETCH(QStringList, arguments);
    QFETCH(int, kept);
    const Result r = cli(arguments);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.err, QString());
    QStringList out = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!out.isEmpty());
    const QString summary = out.takeLast();
    // One history line per removed draw, oldest first, then what happened.
    QCOMPARE(out, kDraws.mid(kept));
    QVERIFY2(summary.contains(kept == 5 ? QStringLiteral("没有删除") : QStringLiteral("已删除")),
             qPrintable(summary));
    QCOMPARE(stored(), kDraws.mid(0, kept));
}

void CliMaintenanceTest::badUsageChangesNothing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("clear without --yes") << QStringList{"clear"};
    QTest::newRow("drop-last without a count") << QStringList{"drop-last"};
    QTest::newRow("keep-to two issues") << QStringList{"keep-to", "2013042", "2013043"};
    QTest::newRow("delete-last with an argument") << QStringList{"delete-last", "2"};
    QTest::newRow("rebuild with an argument") << QStringList{"rebuild", "now"};
}

void CliMaintenanceTest::badUsageChangesNothing() {
    QFETCH(QStringList, arguments);
    const Result r = cli(arguments);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith(QStringLiteral("quorvex-cli: ")), qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QCOMPARE(stored(), kDraws);
    QVERIFY(!QFileInfo::exists(QDir(folder_).filePath(QStringLiteral("lsbf.txt"))));
}

void CliMaintenanceTest::rebuildUsesTheStoredBases() {
    // 3 is 虎 (3 under base 1) in 2013041, which belongs to zodiac year 2012, and 兔 after it.
    QCOMPARE(field(2013041, "L1B").toInt(), 3);
    QCOMPARE(field(2013042, "L1B").toInt(), 4);
    QCOMPARE(field(2013042, "L1H").toInt(), 1);
    QFile ini(home_->filePath(QStringLiteral("config/Trelvane.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[IniSetting]\nSxIni=0\nDsIni=0\n");
    ini.close();

    const Result r = cli({"rebuild"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(stored(), kDraws);
    QCOMPARE(field(2013041, "L1B").toInt(), 2);
    QCOMPARE(field(2013042, "L1B").toInt(), 3);
    QCOMPARE(field(2013042, "L1H").toInt(), 0);
    // The code texts of the row after carry the new values as well.
    QCOMPARE(field(2013043, "txtHisLstSx").toString(), QStringLiteral("1X03 1X11 1X09 1X07 1X04 "));
    QCOMPARE(field(2013043, "txtHisLstDs").toString(), QStringLiteral("1X0 1X2 2X2 1X3 1X4 "));
}

void CliMaintenanceTest::failedRebuildExitsOneAndKeepsTheHistory_data() {
    QTest::addColumn<QString>("backup"); // what stands where the backup lsbf.txt is written
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a pipe") << "pipe";
    QTest::newRow("a link to the history") << "history";
    QTest::newRow("a link to a copy") << "copy";
    QTest::newRow("a link to a file outside") << "outside";
}

// A backup that cannot be written as a file of its own stops the change: the command names it in
// one line, and the history, its steps, its copies and whatever a link leads to stay as they were.
void CliMaintenanceTest::failedRebuildExitsOneAndKeepsTheHistory() {
    QFETCH(QString, backup);
    const QString lsbf = QDir(folder_).filePath(QStringLiteral("lsbf.txt"));
    const QDir copies(QDir(folder_).filePath(QStringLiteral("历史号码")));
    QString target;
    if (backup == "copy") {
        QCOMPARE(cli({"delete-last"}).code, 0);
        QCOMPARE(cli({"undo"}).code, 0);
        target = copies.filePath(copies.entryList({"*.undo"}).value(0));
    } else if (backup == "history") {
        target = QDir(folder_).filePath(QStringLiteral("Quorvex.mdb"));
    } else if (backup == "outside") {
        target = home_->filePath(QStringLiteral("mine.txt"));
        QFile mine(target);
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("mine\n") == 5);
    }
    if (backup == "folder")
        QVERIFY(QDir(folder_).mkdir(QStringLiteral("lsbf.txt")));
    else if (backup == "pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(lsbf).constData(), 0666), 0);
    else
        QVERIFY(QFile::link(target, lsbf));
    const QByteArray targetBytes = backup == "history" ? QByteArray() : readAll(target);
    const QStringList dumped = dump();
    const QString steps = cli({"undo", "--list"}).out;
    const QStringList files = copies.entryList(QDir::Files | QDir::Hidden);
    QFile ini(home_->filePath(QStringLiteral("config/Trelvane.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[IniSetting]\nSxIni=0\n");
    ini.close();

    for (const QStringList& args : {QStringList{"rebuild"}, QStringList{"drop-last", "2"},
                                    QStringList{"keep-to", "2013043"}}) {
        const Result r = cli(args);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(QStringLiteral("quorvex-cli: ")) && r.err.count('\n') == 1 &&
                     r.err.contains(QStringLiteral("lsbf.txt")) &&
                     r.err.contains(QStringLiteral("未作改动")),
                 qPrintable(r.err));
        QCOMPARE(dump(), dumped);
        QCOMPARE(cli({"undo", "--list"}).out, steps);
        QCOMPARE(copies.entryList(QDir::Files | QDir::Hidden), files);
        if (!targetBytes.isEmpty())
            QCOMPARE(readAll(target), targetBytes);
        QCOMPARE(QDir(folder_).entryList({"lsbf.txt.*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
}

// Every kind of change the CLI makes is a step: undo takes them back one by one to the empty
// history the set-up's import started from, redo makes them again, each time exactly as dumped
// then; a rebuild that changes nothing is no step.
void CliMaintenanceTest::undoAndRedoWalkEveryCommand() {
    QFile ini(home_->filePath(QStringLiteral("config/Trelvane.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[IniSetting]\nSxIni=0\nDsIni=0\n");
    ini.close();
    const QList<QStringList> commands{
        {"append", "01", "02", "03", "04", "05"},
        {"append", "06", "07", "08", "09", "10"},
        {"delete-last"},
        {"rebuild"},
        {"rebuild"},
        {"drop-last", "2"},
        {"keep-to", "2013042"},
        {"clear", "--yes"},
        {"append", "--issue", "2013050", "11", "12", "13", "14", "15"}};
    QVector<QStringList> states{{}, dump()};
    for (const QStringList& command : commands) {
        const Result r = cli(command);
        QVERIFY2(r.code == 0, qPrintable(command.join(' ') + r.err));
        if (dump() == states.last())
            QVERIFY2(r.out.contains(QStringLiteral("未作改动")), qPrintable(r.out));
        else
            states << dump();
    }
    QCOMPARE(states.size(), commands.size() + 1); // the set-up's import, one rebuild left out
    Result r = cli({"undo", "--list"});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), states.size() - 1);
    QVERIFY2(lines.first().endsWith(QStringLiteral("输入第 2013050 期  ← 下一次撤销")),
             qPrintable(lines.first()));
    QVERIFY2(lines.last().contains(QStringLiteral("读入 draws.txt")), qPrintable(lines.last()));

    for (qsizetype k = states.size() - 1; k > 0; --k) {
        r = cli({"undo"});
        QVERIFY2(r.code == 0 && r.out.startsWith(QStringLiteral("已撤销“")), qPrintable(r.err));
        QCOMPARE(dump(), states[k - 1]);
    }
    for (const char* verb : {"undo", "redo"}) {
        if (QByteArray(verb) == "redo")
            for (qsizetype k = 1; k < states.size(); ++k) {
                r = cli({"redo"});
                QVERIFY2(r.code == 0 && r.out.startsWith(QStringLiteral("已重做“")),
                         qPrintable(r.err));
                QCOMPARE(dump(), states[k]);
            }
        r = cli({verb});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(QStringLiteral("quorvex-cli: 没有可以%1的修改")
                                      .arg(QByteArray(verb) == "undo" ? "撤销" : "重做")),
                 qPrintable(r.err));
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    }
    QCOMPARE(cli({"undo", "now"}).code, 2);
    QCOMPARE(cli({"redo", "--list"}).code, 2);
}

void CliMaintenanceTest::searchOnValuesOfOtherBasesIsRefused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("refused"); // else answered, with a warning
    QTest::newRow("search by zodiac") << QStringList{"search", "--kind", "zodiac"} << true;
    QTest::newRow("tally of zodiacs") << QStringList{"search", "--result", "zodiac"} << true;
    QTest::newRow("combo by zodiac") << QStringList{"combo", "--kind", "zodiac"} << true;
    QTest::newRow("zodiac workbook")
        << QStringList{"export-sheet", "results", "--result", "zodiac"} << true;
    QTest::newRow("search by number") << QStringList{"search"} << false;
}

// The zodiac base changed outside the window: the stored values keep the old one. A search that
// reads them is refused with the command that re-derives them; after it, it is answered.
void CliMaintenanceTest::searchOnValuesOfOtherBasesIsRefused() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, refused);
    QFile ini(home_->filePath(QStringLiteral("config/Trelvane.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[IniSetting]\nSxIni=0\n");
    ini.close();
    Result r = cli(arguments);
    QVERIFY2(r.err.contains(QStringLiteral("quorvex-cli rebuild")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("生肖")), qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    if (refused) {
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
    } else {
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: warning: ")));
    }
    QCOMPARE(cli({"rebuild"}).code, 0);
    r = cli(arguments);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.err, QString());
}

QTEST_GUILESS_MAIN(CliMaintenanceTest)
#include "tst_cli_maintenance.moc"
