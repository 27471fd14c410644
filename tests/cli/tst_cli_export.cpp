// export-text and export-sheet through the built quorvex-cli: the files hold what the CLI's
// own grids print, read back with tools of their own.
#include "FileFacts.h"
#include "WorkbookReader.h"

#include "CliHome.h"
#include "CliProcess.h"
#include "PathStates.h"
#include <QDir>
#include <QFile>
#include <QProcess>

#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace quorvex::test;

namespace {

using Result = quorvex::test::CliResult;

const QByteArray kHistory = "2013001 03 07 09 11 14 \r\n"
                            "2013002 01 02 10 12 15 \r\n"
                            "2013003 04 05 06 07 08 \r\n"
                            "2013004 03 07 09 01 02 \r\n"
                            "2013005 11 13 03 07 15 \r\n"
                            "2013006 02 04 06 08 10 \r\n";

} // namespace

class CliExportTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void exportTextWritesTheHistoryLines();
    void exportTextOfAnEmptyHistoryWritesNothing();
    void exportSheetHoldsTheCellsTheGridPrints_data();
    void exportSheetHoldsTheCellsTheGridPrints();
    void exportSheetToAnotherFile();
    void badUsageWritesNothing_data();
    void badUsageWritesNothing();
    void unwritableOutputIsReported();
    void fullDiskIsOneMessage_data();
    void fullDiskIsOneMessage();
    void guardedTargetIsRefusedAndLeftAlone_data();
    void guardedTargetIsRefusedAndLeftAlone();

private:
    Result cli(const QStringList& arguments);
    void importHistory();
    QStringList exportFiles() const;
    QString makeTarget(const QString& kind);

    std::unique_ptr<QTemporaryDir> home_;
    QString folder_;
};

void CliExportTest::init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("history")));
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("config")));
    folder_ = home_->filePath(QStringLiteral("history"));
}

Result CliExportTest::cli(const QStringList& arguments) {
    return runProgram(
        QStringList{QStringLiteral(QUORVEX_CLI_PATH), QStringLiteral("--dir"), folder_} + arguments,
        home_->path());
}

void CliExportTest::importHistory() {
    const QString path = home_->filePath(QStringLiteral("history.txt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kHistory);
    f.close();
    const Result r = cli({"import", path});
    QVERIFY2(r.code == 0, qPrintable(r.err));
}

QStringList CliExportTest::exportFiles() const {
    return QDir(folder_).entryList({"*.xls", "*.txt", "*.tmp"}, QDir::Files, QDir::Name);
}

void CliExportTest::exportTextWritesTheHistoryLines() {
    importHistory();
    Result r = cli({"export-text"});
    QCOMPARE(r.code, 0);
    const QString path = QDir(folder_).filePath(QStringLiteral("更新至2013006期历史号码.txt"));
    QCOMPARE(r.out, path + QLatin1Char('\n'));
    QCOMPARE(readAll(path), kHistory);

    const QString other = home_->filePath(QStringLiteral("copy.txt"));
    r = cli({"export-text", other});
    QCOMPARE(r.code, 0);
    QCOMPARE(readAll(other), kHistory);
}

void CliExportTest::exportTextOfAnEmptyHistoryWritesNothing() {
    const Result r = cli({"export-text"});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QCOMPARE(exportFiles(), QStringList());
}

void CliExportTest::exportSheetHoldsTheCellsTheGridPrints_data() {
    QTest::addColumn<QStringList>("exportArgs");
    QTest::addColumn<QStringList>("printArgs");
    QTest::addColumn<QString>("file");
    QTest::newRow("history") << QStringList{"history"} << QStringList{"list"}
                             << QStringLiteral("lishi.xls");
    QTest::newRow("matches by zodiac")
        << QStringList{"matches", "--kind", "zodiac", "--result", "zodiac", "--positions", "1"}
        << QStringList{"search",   "--matches", "--kind",      "zodiac",
                       "--result", "zodiac",    "--positions", "1"}
        << QStringLiteral("Jiansuo.xls");
    QTest::newRow("results by head")
        << QStringList{"results", "--result", "head", "--lag", "2"}
        << QStringList{"search", "--result", "head", "--lag", "2", "--baseline"}
        << QStringLiteral("Jieguo.xls");
    QTest::newRow("no match") << QStringList{"matches", "--values", "1,2,3,4,5", "--mode", "fixed"}
                              << QStringList{"search",    "--matches", "--values",
                                             "1,2,3,4,5", "--mode",    "fixed"}
                              << QStringLiteral("Jiansuo.xls");
    QTest::newRow("combination results")
        << QStringList{"results", "--combo", "2"} << QStringList{"combo", "--k", "2", "--baseline"}
        << QStringLiteral("Jieguo.xls");
}

void CliExportTest::exportSheetHoldsTheCellsTheGridPrints() {
    QFETCH(QStringList, exportArgs);
    QFETCH(QStringList, printArgs);
    QFETCH(QString, file);
    importHistory();
    const Result printed = cli(printArgs + QStringList{"--format", "csv"});
    QVERIFY2(printed.code == 0, qPrintable(printed.err));
    const Result exported = cli(QStringList{"export-sheet"} + exportArgs);
    QVERIFY2(exported.code == 0, qPrintable(exported.err));
    const QString path = QDir(folder_).filePath(file);
    QCOMPARE(exported.out, path + QLatin1Char('\n'));
    QCOMPARE(exportFiles(), QStringList{file});

    QString why;
    const auto cells = readSheetCells(path, QStringLiteral("Sheet1"), &why);
    QVERIFY2(cells, qPrintable(why));
    QCOMPARE(*cells, parseCsv(printed.out));
    QVERIFY(cells->size() >= 1);
    QCOMPARE(nonTextCellCount(path), 0);
}

void CliExportTest::exportSheetToAnotherFile() {
    importHistory();
    const QString other = home_->filePath(QStringLiteral("grid.xlsx"));
    const Result r = cli({"export-sheet", "results", "--output", other});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, other + QLatin1Char('\n'));
    QCOMPARE(exportFiles(), QStringList());
    QString why;
    const auto cells = readSheetCells(other, QStringLiteral("Sheet1"), &why);
    QVERIFY2(cells, qPrintable(why));
    QCOMPARE(cells->first(), (QStringList{"序号", "结果", "出现次数", "百分比", "期望次数", "比值",
                                          "校正p值", "显著"}));
}

void CliExportTest::badUsageWritesNothing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no grid") << QStringList{"export-sheet"};
    QTest::newRow("unknown grid") << QStringList{"export-sheet", "tally"};
    QTest::newRow("two grids") << QStringList{"export-sheet", "history", "results"};
    QTest::newRow("search option on history")
        << QStringList{"export-sheet", "history", "--kind", "zodiac"};
    QTest::newRow("--matches beside a grid") << QStringList{"export-sheet", "results", "--matches"};
    QTest::newRow("bad lag") << QStringList{"export-sheet", "matches", "--lag", "x"};
    QTest::newRow("empty output") << QStringList{"export-sheet", "history", "--output", ""};
    QTest::newRow("empty text file") << QStringList{"export-text", ""};
    QTest::newRow("text file ending in a slash") << QStringList{"export-text", "new/"};
    QTest::newRow("two files") << QStringList{"export-text", "a.txt", "b.txt"};
}

void CliExportTest::badUsageWritesNothing() {
    QFETCH(QStringList, args);
    importHistory();
    const Result r = cli(args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QCOMPARE(exportFiles(), QStringList());
}

void CliExportTest::unwritableOutputIsReported() {
    importHistory();
    const QString missing = home_->filePath(QStringLiteral("missing/grid.xls"));
    Result r = cli({"export-sheet", "history", "--output", missing});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    r = cli({"export-text", home_->filePath(QStringLiteral("missing/history.txt"))});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY(!QFileInfo::exists(home_->filePath(QStringLiteral("missing"))));
}

// A full disk as a file size limit: libxlsxwriter's own lines about it must not show.
void CliExportTest::fullDiskIsOneMessage_data() {
    QTest::addColumn<QStringList>("args"); // the file goes last
    QTest::newRow("export-text") << QStringList{"export-text"};
    QTest::newRow("export-sheet") << QStringList{"export-sheet", "history", "--output"};
}

void CliExportTest::fullDiskIsOneMessage() {
    QFETCH(QStringList, args);
    const QString history = home_->filePath(QStringLiteral("long.txt"));
    QFile f(history);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(historyText(400, 7));
    f.close();
    QVERIFY(cli({"import", history}).code == 0);
    const QString out = home_->filePath(QStringLiteral("out"));
    QFile older(out);
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();

    // Writes past 2 KiB fail with EFBIG instead of killing the process.
    const Result r =
        runProgram(QStringList{"sh", "-c", "ulimit -f 2 && trap '' XFSZ && exec \"$@\"", "sh",
                               QStringLiteral(QUORVEX_CLI_PATH), "--dir", folder_} +
                       args + QStringList{out},
                   home_->path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("quorvex-cli: ")), qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QCOMPARE(readAll(out), QByteArray("older"));
    QCOMPARE(QDir(home_->path()).entryList({"out*"}, QDir::Files), QStringList{"out"});
}

void CliExportTest::guardedTargetIsRefusedAndLeftAlone_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args"); // the target goes last
    const QList<std::pair<QString, QStringList>> exports{
        {"export-text", {"export-text"}},
        {"export-sheet history", {"export-sheet", "history", "--output"}},
        {"export-sheet matches", {"export-sheet", "matches", "--output"}}};
    for (const QString kind :
         {"history", "link to the history", "hard link to the history", "history by a longer path",
          "journal", "copy", "new file among copies", "link into the copies", "pipe", "device",
          "folder"}) {
        for (const auto& [name, args] : exports)
            QTest::addRow("%s, %s", qPrintable(kind), qPrintable(name)) << kind << args;
    }
}

// The path of a target of the kind, made in the home; empty when it cannot be made here.
QString CliExportTest::makeTarget(const QString& kind) {
    const QString history = QDir(folder_).filePath(QStringLiteral("Quorvex.mdb"));
    const QString copies = QDir(folder_).filePath(QStringLiteral("历史号码"));
    const QByteArray at = QFile::encodeName(home_->filePath(kind));
    if (kind == "history")
        return history;
    if (kind == "history by a longer path")
        return folder_ + QStringLiteral("/../history/./Quorvex.mdb");
    if (kind == "journal")
        return history + QStringLiteral("-journal");
    if (kind == "link to the history")
        return QFile::link(history, home_->filePath(kind)) ? home_->filePath(kind) : QString();
    if (kind == "hard link to the history")
        return ::link(QFile::encodeName(history).constData(), at.constData()) == 0
                   ? home_->filePath(kind)
                   : QString();
    if (kind == "copy") {
        const QStringList names = QDir(copies).entryList({"*.undo"}, QDir::Files);
        return names.isEmpty() ? QString() : QDir(copies).filePath(names.first());
    }
    if (kind == "new file among copies")
        return QDir(copies).filePath(QStringLiteral("new.txt"));
    if (kind == "link into the copies")
        return QFile::link(QDir(copies).filePath(QStringLiteral("new.txt")), home_->filePath(kind))
                   ? home_->filePath(kind)
                   : QString();
    if (kind == "pipe")
        return ::mkfifo(at.constData(), 0644) == 0 ? home_->filePath(kind) : QString();
    // The null device's numbers: a write that got through would be swallowed, not stored.
    if (kind == "device")
        return ::mknod(at.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? home_->filePath(kind)
                                                                           : QString();
    if (kind == "folder")
        return QDir(home_->path()).mkdir(kind) ? home_->filePath(kind) : QString();
    return {};
}

void CliExportTest::guardedTargetIsRefusedAndLeftAlone() {
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    importHistory();
    QCOMPARE(cli({"delete-last"}).code, 0); // keeps a copy of the history before it
    const QString target = makeTarget(kind);
    if (target.isEmpty() && kind == "device")
        QSKIP("cannot make a device node here (not root)");
    QVERIFY2(!target.isEmpty(), qPrintable(kind));
    const QStringList before = folderStates(folder_) << pathState(target);

    const Result r = cli(args << target);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("quorvex-cli: ") + target + QLatin1Char(' ')),
             qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QCOMPARE(r.out, QString());
    QCOMPARE(folderStates(folder_) << pathState(target), before);
    QCOMPARE(cli({"list"}).code, 0);
}

QTEST_GUILESS_MAIN(CliExportTest)
#include "tst_cli_export.moc"
