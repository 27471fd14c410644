#include "cli/GridPrinter.h"
#include "FileFacts.h"
#include "HistoryFileQueries.h"

#include "CliHome.h"
#include "CliProcess.h"
#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>

#include <QtTest>

using namespace quorvex::cli;

using namespace quorvex::test;

namespace {

using Result = quorvex::test::CliResult;

enum class Form { Number, Seconds, Date };

// Texts that only look like the value good: signs, blanks, fractions, exponents, prefixes and
// digits other than ASCII ones.
QStringList badForms(Form form, const QString& good) {
    switch (form) {
    case Form::Number: {
        QString wide;
        for (QChar c : good)
            wide += QChar(0xFF10 + c.digitValue());
        return {"+" + good,  "-" + good,  " " + good,  good + " ", good + "\n",
                good + ".0", good + "e0", "0x" + good, wide,       ""};
    }
    case Form::Seconds:
        return {"+5",    "-5",  " 5",  "5 ",  "1e1", "5.", ".5",
                "5.5.5", "0x5", "inf", "nan", "5,5", "５", ""};
    case Form::Date:
        return {"2030/01/01",  "2030-1-1",         "20300101", " 2030-01-01", "2030-01-01 ",
                "+2030-01-01", "2030-01-01T00:00", "30-01-01", "2030-02-30",  ""};
    }
    return {};
}

// Rows for one command line with a value where %1 stands (alone or in a list): named is what
// its message names; good are values it takes, badValues values written right but out of range
// or no number at all; the forms of badForms are refused too.
void addValueRows(const char* row, const QStringList& line, const QString& named, Form form,
                  const QStringList& good, const QStringList& badValues) {
    const qsizetype at = line.indexOf(QRegularExpression(QStringLiteral(".*%1.*")));
    // A negative positional reads as an option: the message names the command instead.
    const bool positional = line[at] == "%1" && !line[at - 1].startsWith("--");
    auto add = [&](const char* what, const QString& text, bool accepted) {
        QStringList arguments = line;
        arguments[at] = line[at].arg(text);
        const bool parserError = !accepted && positional && text.startsWith('-');
        QTest::addRow("%s %s '%s'", row, what, qPrintable(text))
            << arguments << arguments[at] << (parserError ? line.first() : named) << accepted;
    };
    for (const QString& text : good)
        add("takes", text, true);
    for (const QString& text : badValues + badForms(form, good.first()))
        add("refuses", text, false);
}

QByteArray folderState(const QString& folder) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QFileInfo& f :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        hash.addData(f.fileName().toUtf8());
        hash.addData(fileHash(f.filePath()));
    }
    return hash.result();
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void appendStoresTheWorkedExample();
    void appendUsesTheStoredBases();
    void listPrintsTheHistoryGrid();
    void nextIssue();
    void numbersAndDatesTakeOneForm_data();
    void numbersAndDatesTakeOneForm();
    void badUsageExitsTwoAndStoresNothing_data();
    void badUsageExitsTwoAndStoresNothing();
    void issueNotLaterThanTheLastIsRefused_data();
    void issueNotLaterThanTheLastIsRefused();
    void foreignFileIsRefusedAndUntouched();
    void helpListsTheCommands();
    void csvQuoting_data();
    void csvQuoting();
    void tableAlignsWideCharacters();
    void compactKeepsEveryDrawOrFailsCleanly();

private:
    // Runs quorvex-cli on the test's folder with a private settings store.
    Result cli(const QStringList& arguments, bool withDir = true);
    qint64 storedCount();
    QVariant field(qint64 issue, const QString& column);

    std::unique_ptr<QTemporaryDir> home_;
    QString folder_;
};

void CliTest::init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("history")));
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("config")));
    folder_ = home_->filePath(QStringLiteral("history"));
}

Result CliTest::cli(const QStringList& arguments, bool withDir) {
    QStringList command{QStringLiteral(QUORVEX_CLI_PATH)};
    if (withDir)
        command << QStringLiteral("--dir") << folder_;
    return quorvex::test::runProgram(command + arguments, home_->path(), 30000);
}

qint64 CliTest::storedCount() {
    if (!QFileInfo::exists(QDir(folder_).filePath(QStringLiteral("Quorvex.mdb"))))
        return 0;
    qint64 n = -1;
    queryHistoryFile(folder_, QStringLiteral("SELECT COUNT(*) FROM Lishi"), {},
                     [&n](const QSqlQuery& q) { n = q.value(0).toLongLong(); });
    return n;
}

QVariant CliTest::field(qint64 issue, const QString& column) {
    return storedField(folder_, issue, column);
}

void CliTest::appendStoresTheWorkedExample() {
    Result r = cli({"append", "--issue", "2013045", "3", "7", "9", "11", "14"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("2013045\n"));
    QCOMPARE(r.err, QString());
    QVERIFY(QFileInfo::exists(QDir(folder_).filePath("Quorvex.mdb")));

    // Without --issue: the next issue, chained to the stored draw.
    r = cli({"append", "01", "2", "4", "5", "6"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("2013046\n"));

    const QStringList letters{"A", "B", "E", "F", "G", "H"};
    const QList<QList<int>> values{{3, 7, 9, 11, 14}, {4, 12, 10, 8, 5}, {0, 0, 0, 1, 1},
                                   {3, 7, 9, 1, 4},   {3, 7, 9, 2, 5},   {1, 3, 3, 4, 5}};
    for (int k = 0; k < letters.size(); ++k)
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(field(2013045, QStringLiteral("L%1%2").arg(i).arg(letters[k])).toInt(),
                     values[k][i - 1]);
    QCOMPARE(field(2013045, "QQH").toLongLong(), 2013046);
    QCOMPARE(field(2013045, "txtHisLst").toString(), QString(""));
    QCOMPARE(field(2013046, "txtHisLst").toString(), QString("03 07 09 11 14 "));
    QCOMPARE(field(2013046, "txtHisLstHm").toString(), QString("1X03 1X07 1X09 1X11 1X14 "));
    QCOMPARE(field(2013046, "txtHisLstSx").toString(), QString("1X04 1X12 1X10 1X08 1X05 "));
    QCOMPARE(field(2013046, "txtHisLstTou").toString(), QString("1X0 2X0 3X0 1X1 2X1 "));
    QCOMPARE(field(2013046, "txtHisLstWei").toString(), QString("1X3 1X7 1X9 1X1 1X4 "));
    QCOMPARE(field(2013046, "txtHisLstHe").toString(), QString("1X03 1X07 1X09 1X02 1X05 "));
    QCOMPARE(field(2013046, "txtHisLstDs").toString(), QString("1X1 1X3 2X3 1X4 1X5 "));
    QCOMPARE(field(2013046, "L1A").toInt(), 1);
}

void CliTest::appendUsesTheStoredBases() {
    QFile ini(home_->filePath(QStringLiteral("config/Trelvane.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[IniSetting]\nSxIni=0\nDsIni=0\n");
    ini.close();
    QCOMPARE(cli({"append", "--issue", "2013045", "3", "7", "9", "11", "14"}).code, 0);
    // 3 is 兔 (3) in 2013 and falls in the first segment.
    QCOMPARE(field(2013045, "L1B").toInt(), 3);
    QCOMPARE(field(2013045, "L1H").toInt(), 0);
}

void CliTest::listPrintsTheHistoryGrid() {
    QCOMPARE(cli({"append", "--issue", "2013044", "1", "2", "3", "4", "5"}).code, 0);
    QCOMPARE(cli({"delete-last"}).code, 0);
    Result r = cli({"list", "--format", "csv"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("期号,第1码,第2码,第3码,第4码,第5码\r\n"));

    QCOMPARE(cli({"append", "--issue", "2013045", "3", "7", "9", "11", "14"}).code, 0);
    QCOMPARE(cli({"append", "15", "1", "2", "10", "4"}).code, 0);
    r = cli({"list", "--format", "csv"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("期号,第1码,第2码,第3码,第4码,第5码\r\n"
                            "2013045,3,7,9,11,14\r\n"
                            "2013046,15,1,2,10,4\r\n"));

    r = cli({"list"});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].split(' ', Qt::SkipEmptyParts),
             QStringList({"期号", "第1码", "第2码", "第3码", "第4码", "第5码"}));
    QCOMPARE(lines[2].split(' ', Qt::SkipEmptyParts),
             QStringList({"2013046", "15", "1", "2", "10", "4"}));
    // Right-aligned numbers: the rows end in the same column.
    QCOMPARE(lines[1].size(), lines[2].size());
    QCOMPARE(displayWidth(lines[0]), lines[1].size());
}

void CliTest::nextIssue() {
    QCOMPARE(cli({"append", "--issue", "2013044", "1", "2", "3", "4", "5"}).code, 0);
    QCOMPARE(cli({"delete-last"}).code, 0);
    Result r = cli({"next-issue"}); // an empty history starts the year
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString::number(QDate::currentDate().year() * 1000 + 1) + "\n");
    QCOMPARE(cli({"append", "--issue", "2013365", "1", "2", "3", "4", "5"}).code, 0);
    QCOMPARE(cli({"next-issue"}).out, QString("2013366\n"));
    // Seven digits at most: after 9999999 there is no next issue to print or store.
    QCOMPARE(cli({"append", "--issue", "9999999", "1", "2", "3", "4", "5"}).code, 0);
    for (const QStringList& args :
         {QStringList{"next-issue"}, QStringList{"append", "6", "7", "8", "9", "10"}}) {
        r = cli(args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.contains("9999999") &&
                     r.err.count('\n') == 1,
                 qPrintable(r.err));
    }
    QCOMPARE(storedCount(), 2);
}

void CliTest::numbersAndDatesTakeOneForm_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("named");
    QTest::addColumn<bool>("accepted");
    const QStringList search{"search"};
    const QStringList update{"update", "--server", "ftp://quorvex.invalid"};
    addValueRows("search --kind", search + QStringList{"--kind", "%1"}, "--kind", Form::Number,
                 {"5", "zodiac"}, {"6", "colour", " zodiac"});
    addValueRows("search --result", search + QStringList{"--result", "%1"}, "--result",
                 Form::Number, {"4"}, {"6"});
    addValueRows("search --lag", search + QStringList{"--lag", "%1"}, "--lag", Form::Number,
                 {"5", "9"}, {"0", "10", "two"});
    addValueRows("search --positions", search + QStringList{"--positions", "1,%1"}, "--positions",
                 Form::Number, {"3"}, {"6", "x"});
    addValueRows("search --values", search + QStringList{"--values", "1,2,3,4,%1"}, "--values",
                 Form::Number, {"5"}, {"x"});
    addValueRows("search --verify", search + QStringList{"--verify", "%1"}, "--verify",
                 Form::Number, {"2001020"}, {"2001", "soon", "0201020", "20010200"});
    addValueRows("search --from", search + QStringList{"--from", "%1"}, "--from", Form::Number,
                 {"2001010"}, {"first"});
    addValueRows("search --to", search + QStringList{"--to", "%1"}, "--to", Form::Number,
                 {"2001020"}, {"x"});
    addValueRows("combo --k", {"combo", "--k", "%1"}, "--k", Form::Number, {"3"},
                 {"0", "6", "all"});
    addValueRows("backtest --combo", {"backtest", "--combo", "%1"}, "--combo", Form::Number, {"2"},
                 {"6"});
    addValueRows("backtest --last", {"backtest", "--last", "%1"}, "--last", Form::Number, {"5"},
                 {"0"});
    addValueRows("backtest --top", {"backtest", "--top", "%1"}, "--top", Form::Number, {"2"},
                 {"0"});
    addValueRows("export-sheet --combo", {"export-sheet", "results", "--combo", "%1"}, "--combo",
                 Form::Number, {"2"}, {"0", "6"});
    addValueRows("append number", {"append", "1", "2", "3", "4", "%1"}, "number 5", Form::Number,
                 {"5", "05"}, {"0", "16", "x"});
    addValueRows("append --issue", {"append", "--issue", "%1", "1", "2", "3", "4", "5"}, "--issue",
                 Form::Number, {"2001031"}, {"200131", "2001000", "0201031"});
    addValueRows("keep-to", {"keep-to", "%1"}, "ISSUE", Form::Number, {"2001020"}, {"0"});
    addValueRows("drop-last", {"drop-last", "%1"}, "N", Form::Number, {"3"}, {"0", "three"});
    addValueRows("update --timeout", update + QStringList{"--timeout", "%1"}, "--timeout",
                 Form::Seconds, {"5", "0.5", "12.25", "3600"}, {"0", "0.05", "3600.5"});
    addValueRows("update --today", update + QStringList{"--today", "%1"}, "--today", Form::Date,
                 {"2030-01-01", "2024-02-29"}, {"today", "2013-13-01"});
}

// Every count, index, issue, number, seconds and date of every command takes one written form:
// anything else is bad usage that names the option and the text and changes nothing.
void CliTest::numbersAndDatesTakeOneForm() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, value);
    QFETCH(QString, named);
    QFETCH(bool, accepted);
    const QString file = home_->filePath("h.txt");
    QFile text(file);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(quorvex::test::historyText(30, 5));
    text.close();
    QCOMPARE(cli({"import", file}).code, 0);
    const QByteArray before = folderState(folder_);

    const Result r = cli(arguments);
    if (accepted) {
        QVERIFY2(r.code != 2 && r.code != -1, qPrintable(r.err));
        return;
    }
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.contains(named) &&
                 r.err.contains("'" + QString(value).replace('\n', ' ') + "'"),
             qPrintable(r.err));
    QCOMPARE(folderState(folder_), before);
}

void CliTest::badUsageExitsTwoAndStoresNothing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("unknown option") << QStringList{"list", "--colour"};
    QTest::newRow("unknown format") << QStringList{"list", "--format", "xml"};
    QTest::newRow("surplus argument") << QStringList{"next-issue", "5"};
    QTest::newRow("four numbers") << QStringList{"append", "1", "2", "3", "4"};
    QTest::newRow("six numbers") << QStringList{"append", "1", "2", "3", "4", "5", "6"};
    QTest::newRow("repeated number") << QStringList{"append", "7", "2", "3", "7", "5"};
}

void CliTest::badUsageExitsTwoAndStoresNothing() {
    QFETCH(QStringList, arguments);
    QCOMPARE(cli({"append", "--issue", "2013045", "3", "7", "9", "11", "14"}).code, 0);
    const Result r = cli(arguments);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith("quorvex-cli: "), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    QCOMPARE(storedCount(), 1);
}

void CliTest::issueNotLaterThanTheLastIsRefused_data() {
    QTest::addColumn<QString>("issue");
    QTest::newRow("same issue") << "2013045";
    QTest::newRow("earlier issue") << "2012100";
}

void CliTest::issueNotLaterThanTheLastIsRefused() {
    QFETCH(QString, issue);
    QCOMPARE(cli({"append", "--issue", "2013045", "3", "7", "9", "11", "14"}).code, 0);
    const Result r = cli({"append", "--issue", issue, "1", "2", "3", "4", "5"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.contains("2013045"), qPrintable(r.err));
    QCOMPARE(storedCount(), 1);
    QCOMPARE(field(2013045, "L1A").toInt(), 3);
}

void CliTest::foreignFileIsRefusedAndUntouched() {
    const QString path = QDir(folder_).filePath(QStringLiteral("Quorvex.mdb"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'q'));
    f.close();
    const QByteArray before = fileHash(path);
    for (const QStringList& args : {QStringList{"list"}, QStringList{"next-issue"},
                                    QStringList{"append", "1", "2", "3", "4", "5"}}) {
        const Result r = cli(args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.contains(path), qPrintable(r.err));
        QCOMPARE(r.err.count('\n'), 1);
    }
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QDir(folder_).entryList(QDir::Files), QStringList{"Quorvex.mdb"});
}

void CliTest::helpListsTheCommands() {
    const Result r = cli({"--help"}, false);
    QCOMPARE(r.code, 0);
    for (const char* command : {"list", "append", "next-issue"})
        QVERIFY2(r.out.contains(QStringLiteral("  %1 ").arg(command)), qPrintable(r.out));
    const Result one = cli({"append", "--help"});
    QCOMPARE(one.code, 0);
    QVERIFY(one.out.startsWith("Usage: quorvex-cli [--dir FOLDER] append"));
    QVERIFY(one.out.contains("--issue"));
    QCOMPARE(storedCount(), 0);
}

void CliTest::csvQuoting_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "2013045"
                           << "2013045";
    QTest::newRow("chinese") << "第1码"
                             << "第1码";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("comma") << "a,b"
                           << "\"a,b\"";
    QTest::newRow("quote") << "6.5\""
                           << "\"6.5\"\"\"";
    QTest::newRow("line feed") << "a\nb"
                               << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"
                                     << "\"a\rb\"";
}

void CliTest::csvQuoting() {
    QFETCH(QString, cell);
    QFETCH(QString, field);
    QCOMPARE(csvField(cell), field);
}

void CliTest::tableAlignsWideCharacters() {
    QCOMPARE(displayWidth(QStringLiteral("第1码")), 5);
    QCOMPARE(displayWidth(QStringLiteral("6.500%")), 6);
    Grid grid{{"生肖", "次数", "百分比"},
              QVector<QStringList>{{"鼠", "13", "6.500%"}, {"牛", "7", ""}}};
    const QStringList lines = formatTable(grid).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QString("生肖  次数  百分比"));
    QCOMPARE(lines[1], QString("鼠      13  6.500%"));
    QCOMPARE(lines[2], QString("牛       7"));
}

void CliTest::compactKeepsEveryDrawOrFailsCleanly() {
    for (const char* draw : {"3 7 9 11 14", "1 2 4 5 6", "15 13 11 9 7"})
        QCOMPARE(cli(QStringList{"append"} + QString(draw).split(' ')).code, 0);
    const QString before = cli({"list", "--format", "csv"}).out;
    Result r = cli({"compact"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("历史数据库已压缩，现有 3 期历史号码。\n"));
    QCOMPARE(cli({"list", "--format", "csv"}).out, before);

    // Compaction works in place: what lies at the old temporary name neither stops it nor is
    // touched by it.
    const QString tmp = QDir(folder_).filePath("QuorvexTmp.mdb");
    QVERIFY(QDir().mkpath(tmp + "/kept"));
    r = cli({"compact"});
    QCOMPARE(r.code, 0);
    QVERIFY(QFileInfo(tmp + "/kept").isDir());
    QCOMPARE(cli({"list", "--format", "csv"}).out, before);
    // Nothing is left beside the history once the command has ended.
    QCOMPARE(QDir(folder_).entryList(QDir::Files), QStringList{"Quorvex.mdb"});
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
