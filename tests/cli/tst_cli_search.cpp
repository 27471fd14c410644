// search, combo and import through the built quorvex-cli, checked against the independent
// answer on the history read back from the folder. The answer's request is built here from the
// same option values the command line is made from, so a wrong turn from options to request
// shows as a difference.
#include "ChanceReference.h"
#include "FollowOracle.h"
#include "presentation/ChanceTexts.h"

#include "analysis/ChanceBaseline.h"
#include "cli/SearchOptions.h"

#include "CliProcess.h"
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>

#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

using namespace quorvex;
using namespace quorvex::test;

namespace {

using Result = quorvex::test::CliResult;
// The baseline cells of each result row from the definitions, Holm over the tested values.
QVector<QStringList> directBaseline(const HistoryView& view, const SearchRequest& r,
                                    const FollowResult& expected) {
    const ValueRange values = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    const ChanceReference c = chanceReference(view, r, expected);
    const QVector<double>& e = c.expected;
    const QVector<double>& counts = c.counts;
    QVector<double> p(values.count(), -1);
    for (int i = 0; i < values.count(); ++i)
        p[i] = c.p[i].value_or(-1);
    QVector<int> order;
    for (int i = 0; i < values.count(); ++i)
        if (p[i] >= 0)
            order << i;
    std::stable_sort(order.begin(), order.end(), [&p](int a, int b) { return p[a] < p[b]; });
    QVector<double> holm(values.count(), -1);
    double running = 0;
    for (qsizetype j = 0; j < order.size(); ++j)
        holm[order[j]] = running =
            std::max(running, std::min(1.0, double(order.size() - j) * p[order[j]]));
    // Result rows are ranked by count, equal counts in ascending value.
    QVector<int> ranked(values.count());
    std::iota(ranked.begin(), ranked.end(), 0);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [&counts](int a, int b) { return counts[a] > counts[b]; });
    QVector<QStringList> rows;
    for (int i : ranked)
        rows << QStringList{QString::number(e[i], 'f', 3),
                            e[i] > 0 ? QString::number(counts[i] / e[i], 'f', 3) : "—",
                            holm[i] >= 0 ? pValueText(holm[i]) : "—",
                            holm[i] >= 0 && holm[i] < 0.01 ? "是" : ""};
    return rows;
}

using Values = std::array<int, 5>;

// The question a search asks, in the terms of the command line.
struct Question {
    int kind = 0;
    int result = 0;
    bool free = true;
    int lag = 1;
    std::array<bool, 5> ticked{true, true, true, true, true};
    std::optional<Values> refs; // nothing: the reference draw's
    std::optional<qint64> verify;
    bool before = false;
    std::optional<qint64> from, to;
    int k = 0; // > 0: the combination search
};

const QStringList kKinds{"number", "zodiac", "head", "tail", "sum", "segment"};

QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        rows << line.split(QLatin1Char(','));
    return rows;
}

// The issue whose draw a verification foresees from: the one before, and at a year's first
// issue the previous year's issue 359.
qint64 issueBeforeVerified(qint64 issue) {
    return issue % 1000 == 1 ? (issue / 1000 - 1) * 1000 + 359 : issue - 1;
}

// The request the question means on this history (default settings): the reference values
// from the typed ones, the draw lag - 1 before the last, or the same before the verified
// issue; the range from the first issue that has an earlier draw to the last (or to the last
// draw before the verified one).
SearchRequest requestFor(const HistoryView& view, const Question& q) {
    const auto& rows = view.rows();
    SearchRequest r;
    r.bolZyw = q.free;
    r.bolSq = q.lag == 1;
    r.intPreQi = q.lag;
    r.intLei = q.kind;
    r.intXianshiLei = q.result;
    r.bolPosSel = q.k > 0 ? std::array<bool, 5>{true, true, true, true, true} : q.ticked;
    const qsizetype back = q.lag - 1;
    qint64 end = rows.last().issue;
    if (q.refs) {
        r.bolManual = true;
        r.intRefVal = *q.refs;
    } else if (q.verify) {
        const qint64 target = issueBeforeVerified(*q.verify);
        qsizetype at = rows.size() - 1;
        while (at >= 0 && rows[at].issue > target)
            --at;
        // Searching only before the verified issue ends at the last draw before it.
        if (q.before)
            end = rows[at].issue;
        r.intRefVal = rows[at - back].attributes.kindValues(q.kind);
    } else {
        r.intRefVal = rows[rows.size() - 1 - back].attributes.kindValues(q.kind);
    }
    r.startIssue = q.from.value_or(rows.first().issue + q.lag);
    r.endIssue = q.to.value_or(end);
    return r;
}

FollowResult expectedFor(const HistoryView& view, const Question& q) {
    const SearchRequest r = requestFor(view, q);
    return expectedResult(view, r, [&](qsizetype earlier) {
        return q.k > 0 ? combinationMatches(view, r, q.k, earlier)
                       : followMatches(view, r, earlier);
    });
}

// The search options of the question, as the command line gives them.
QStringList optionArguments(const Question& q) {
    QStringList a{"--kind",   kKinds[q.kind],
                  "--result", QString::number(q.result),
                  "--mode",   q.free ? "free" : "fixed",
                  "--lag",    QString::number(q.lag)};
    if (q.k == 0 && std::count(q.ticked.begin(), q.ticked.end(), true) < 5) {
        QStringList p;
        for (int i = 0; i < 5; ++i)
            if (q.ticked[i])
                p << QString::number(i + 1);
        a << "--positions" << p.join(',');
    }
    if (q.refs) {
        QStringList v;
        for (int x : *q.refs)
            v << QString::number(x);
        a << "--values" << v.join(',');
    }
    if (q.verify)
        a << "--verify" << QString::number(*q.verify);
    if (q.before)
        a << "--before";
    if (q.from)
        a << "--from" << QString::number(*q.from);
    if (q.to)
        a << "--to" << QString::number(*q.to);
    return a;
}

QStringList arguments(const Question& q) {
    QStringList a{q.k > 0 ? "combo" : "search", "--format", "csv"};
    if (q.k > 0)
        a << "--k" << QString::number(q.k);
    return a + optionArguments(q);
}

// The request the CLI's option handling builds for the question on the folder's history.
std::optional<SearchRequest> cliRequest(const QString& folder, const Question& q) {
    QCommandLineParser parser;
    cli::addSearchOptions(parser);
    if (!parser.parse(QStringList{"quorvex-cli"} + optionArguments(q)))
        return std::nullopt;
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    cli::Context context(folder, outStream, errStream);
    cli::SearchOptions options;
    if (options.parse(parser, context,
                      q.k > 0 ? cli::PositionUse::Ignored : cli::PositionUse::Ticked) != 0)
        return std::nullopt;
    HistoryStore store;
    QString error;
    if (!store.open(folder, &error, HistoryAccess::ReadOnly))
        return std::nullopt;
    HistorySnapshot snapshot;
    SearchSession session(store, snapshot); // default settings, as the CLI reads them in this test
    if (!session.historyChanged(&error) || !options.apply(session, &error))
        return std::nullopt;
    return session.request(options.positions, options.from, options.to);
}

std::array<bool, 5> positions(const QString& list) {
    std::array<bool, 5> t{};
    for (const QString& p : list.split(',', Qt::SkipEmptyParts))
        t[p.toInt() - 1] = true;
    return t;
}

} // namespace

Q_DECLARE_METATYPE(Question)

class CliSearchTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void searchAnswersTheFollowQuestion_data();
    void searchAnswersTheFollowQuestion();
    void comboAnswersTheGroupQuestion_data();
    void comboAnswersTheGroupQuestion();
    void badOptionValuesExitTwo_data();
    void badOptionValuesExitTwo();
    void referenceOutsideTheHistoryExitsOne_data();
    void referenceOutsideTheHistoryExitsOne();
    void emptyHistoryIsReported_data();
    void emptyHistoryIsReported();
    void importReportsStoredAndSkippedLines();
    void importWithAHoleIsRefused();
    void unusableImportLeavesTheHistory_data();
    void unusableImportLeavesTheHistory();

private:
    Result cli(const QStringList& arguments);
    QString writeFile(const QString& name, const QByteArray& bytes);
    // Imports a random history of draws through the CLI and reads it back with its attributes.
    HistoryView randomHistory(int draws, quint32 seed);
    void checkAgainstAnswer(const Question& q);

    std::unique_ptr<QTemporaryDir> home_;
    QString folder_;
    HistoryView history_;
};

void CliSearchTest::init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(home_->path()).mkpath("history"));
    QVERIFY(QDir(home_->path()).mkpath("config"));
    folder_ = home_->filePath("history");
}

Result CliSearchTest::cli(const QStringList& arguments) {
    return runProgram(
        QStringList{QStringLiteral(QUORVEX_CLI_PATH), QStringLiteral("--dir"), folder_} + arguments,
        home_->path());
}

QString CliSearchTest::writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = home_->filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

HistoryView CliSearchTest::randomHistory(int draws, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray text;
    for (int d = 0; d < draws; ++d) {
        QList<int> pool;
        for (int n = 1; n <= 15; ++n)
            pool << n;
        text += QByteArray::number(2013001 + d) + ' ';
        for (int i = 0; i < 5; ++i)
            text += QString("%1 ")
                        .arg(pool.takeAt(random.bounded(int(pool.size()))), 2, 10, QLatin1Char('0'))
                        .toLatin1();
        text += '\n';
    }
    const Result r = cli({"import", writeFile("random.txt", text)});
    if (r.code != 0)
        qFatal("import failed: %s", qPrintable(r.err));

    HistoryStore store;
    QString error;
    if (!store.open(folder_, &error, HistoryAccess::ReadOnly))
        qFatal("cannot open the history: %s", qPrintable(error));
    HistoryView view = readHistoryView(store, &error);
    if (!error.isEmpty() || view.isEmpty())
        qFatal("cannot read the history back: %s", qPrintable(error));
    return view;
}

void CliSearchTest::checkAgainstAnswer(const Question& q) {
    // How the options become a request, checked field by field before the printed grids.
    const SearchRequest want = requestFor(history_, q);
    const auto got = cliRequest(folder_, q);
    QVERIFY(got);
    QCOMPARE(got->intLei, want.intLei);
    QCOMPARE(got->intXianshiLei, want.intXianshiLei);
    QCOMPARE(got->bolZyw, want.bolZyw);
    QCOMPARE(got->bolSq, want.bolSq);
    if (!want.bolSq)
        QCOMPARE(got->intPreQi, want.intPreQi);
    QCOMPARE(got->bolManual, want.bolManual);
    QCOMPARE(got->intRefVal, want.intRefVal);
    if (q.k == 0) // the combination search tries every group of positions
        QCOMPARE(got->bolPosSel, want.bolPosSel);
    QCOMPARE(got->startIssue, want.startIssue);
    QCOMPARE(got->endIssue, want.endIssue);

    const FollowResult expected = expectedFor(history_, q);
    const Result result = cli(arguments(q));
    QCOMPARE(result.err, QString());
    QCOMPARE(result.code, 0);
    const QList<QStringList> printed = parseCsv(result.out);
    QVERIFY(!printed.isEmpty());
    QCOMPARE(printed.first(), (QStringList{"序号", "结果", "出现次数", "百分比"}));
    QCOMPARE(printed.mid(1),
             QList<QStringList>(expected.resultRows.begin(), expected.resultRows.end()));

    // --baseline: the same rows in the same order, four columns more, figured here directly.
    const Result withBaseline = cli(arguments(q) << "--baseline");
    QCOMPARE(withBaseline.code, 0);
    const QList<QStringList> figured = parseCsv(withBaseline.out);
    QCOMPARE(figured.first(), (QStringList{"序号", "结果", "出现次数", "百分比", "期望次数", "比值",
                                           "校正p值", "显著"}));
    QCOMPARE(figured.size(), printed.size());
    const QVector<QStringList> direct = directBaseline(history_, want, expected);
    for (qsizetype r = 1; r < figured.size(); ++r) {
        QCOMPARE(figured[r].mid(0, 4), printed[r]);
        QCOMPARE(figured[r].mid(4), direct[r - 1]);
    }

    const Result matches = cli(arguments(q) << "--matches");
    QCOMPARE(matches.code, 0);
    const QList<QStringList> rows = parseCsv(matches.out);
    QCOMPARE(rows.first(), (QStringList{"期号", "第1码", "第2码", "第3码", "第4码", "第5码",
                                        q.lag == 1 ? "上期开奖" : "前期开奖"}));
    QCOMPARE(rows.mid(1), expected.matchRows.all());
    // A question no draw answers would check little.
    QVERIFY2(expected.followDraws > 0, "no follow draw: choose another case");
}

void CliSearchTest::searchAnswersTheFollowQuestion_data() {
    QTest::addColumn<Question>("question");
    auto add = [](const char* name, int kind, int result, bool free, int lag, const QString& pos) {
        Question q;
        q.kind = kind;
        q.result = result;
        q.free = free;
        q.lag = lag;
        q.ticked = positions(pos);
        QTest::newRow(name) << q;
        return q;
    };
    add("number free, positions 1 3", 0, 0, true, 1, "1,3");
    add("zodiac free by numbers", 1, 0, true, 1, "1,2");
    add("head free lag 3, tallied by tail", 2, 3, true, 3, "1,2,3,4,5");
    add("tail fixed, tallied by zodiac", 3, 1, false, 1, "2,5");
    add("digit sum fixed lag 3, by segment", 4, 5, false, 3, "1");
    add("segment free lag 2, by head", 5, 2, true, 2, "1,4");
    add("number fixed lag 2, by digit sum", 0, 4, false, 2, "3");
    add("zodiac fixed lag 9", 1, 1, false, 9, "2");
    add("head fixed, all positions", 2, 0, false, 1, "1,2,3,4,5");
    add("no position ticked: every draw of the range", 3, 0, true, 1, "");

    Question q;
    q.kind = 1;
    q.ticked = positions("1,2,3");
    q.refs = Values{5, 4, 5, 1, 1}; // two 5s and a 4 in any positions
    QTest::newRow("typed zodiac values with a repeat") << q;
    q = {};
    q.ticked = positions("2");
    q.refs = Values{9, 9, 9, 9, 9};
    QTest::newRow("typed numbers") << q;

    q = {};
    q.kind = 3;
    q.ticked = positions("1,2");
    q.verify = 2013200;
    QTest::newRow("verify: all history searched") << q;
    q.before = true;
    QTest::newRow("verify --before: history before the issue") << q;
    q.lag = 3;
    q.free = false;
    QTest::newRow("verify --before lag 3 fixed") << q;
    q = {};
    q.kind = 2;
    q.verify = 2014001; // the target is the previous year's issue 359, past the last draw
    q.before = true;
    QTest::newRow("verify year start") << q;

    q = {};
    q.kind = 5;
    q.ticked = positions("1");
    q.from = 2013050;
    q.to = 2013120;
    QTest::newRow("range bounds the follow draws") << q;
    q.lag = 4;
    q.from = 2013001; // the draws that have no earlier draw are in range but never follow
    QTest::newRow("range from the first issue") << q;
    q = {};
    q.kind = 2;
    q.free = false;
    q.lag = 3;
    q.ticked = positions("1,2");
    q.refs = Values{0, 0, 1, 1, 1};
    q.from = 2013001; // fixed mode: a draw before the history compares as 0
    QTest::newRow("fixed, draws before the history are 0") << q;
}

void CliSearchTest::searchAnswersTheFollowQuestion() {
    QFETCH(Question, question);
    history_ = randomHistory(300, 20130001);
    checkAgainstAnswer(question);
}

void CliSearchTest::comboAnswersTheGroupQuestion_data() {
    QTest::addColumn<Question>("question");
    const struct {
        int kind;
        bool free;
        int lag;
    } cases[] = {{0, true, 1}, {1, true, 3}, {2, false, 1}, {3, false, 2}, {5, true, 1}};
    for (const auto& c : cases) {
        for (int k = 1; k <= 5; ++k) {
            Question q;
            q.kind = c.kind;
            q.result = (c.kind + 1) % 6;
            q.free = c.free;
            q.lag = c.lag;
            q.k = k;
            // Kinds of many values rarely share four or five with the reference draw.
            if (k >= 4 && c.kind != 2 && !(c.kind == 5 && c.free))
                continue;
            QTest::addRow("%s %s lag %d k %d", qPrintable(kKinds[c.kind]),
                          c.free ? "free" : "fixed", c.lag, k)
                << q;
        }
    }
}

void CliSearchTest::comboAnswersTheGroupQuestion() {
    QFETCH(Question, question);
    history_ = randomHistory(300, 20130002);
    checkAgainstAnswer(question);

    // The positions are not the combination search's: ignored, with a warning.
    const Result withPositions = cli(arguments(question) << "--positions"
                                                         << "2");
    QCOMPARE(withPositions.code, 0);
    QCOMPARE(withPositions.out, cli(arguments(question)).out);
    QVERIFY(withPositions.err.startsWith("quorvex-cli: warning: --positions"));

    if (question.k == 5) {
        Question all = question;
        all.k = 0;
        QCOMPARE(cli(arguments(question)).out, cli(arguments(all)).out);
    }
}

void CliSearchTest::badOptionValuesExitTwo_data() {
    QTest::addColumn<QStringList>("args");
    const QStringList s{"search"};
    QTest::newRow("mode") << s + QStringList{"--mode", "loose"};
    QTest::newRow("four values") << s + QStringList{"--values", "1,2,3,4"};
    QTest::newRow("number 16") << s + QStringList{"--values", "1,2,3,4,16"};
    QTest::newRow("zodiac 13") << s + QStringList{"--kind", "zodiac", "--values", "1,2,3,4,13"};
    QTest::newRow("head 2") << s + QStringList{"--kind", "head", "--values", "0,1,2,0,0"};
    QTest::newRow("before alone") << s + QStringList{"--before"};
    QTest::newRow("values and verify")
        << s + QStringList{"--values", "1,2,3,4,5", "--verify", "2013010"};
    QTest::newRow("from after to") << s + QStringList{"--from", "2014333", "--to", "2001001"};
    QTest::newRow("position twice") << s + QStringList{"--positions", "1,1"};
    QTest::newRow("format") << s + QStringList{"--format", "xml"};
    QTest::newRow("argument") << s + QStringList{"2013010"};
    QTest::newRow("combo lag 0") << QStringList{"combo", "--lag", "0"};
    QTest::newRow("baseline with matches") << s + QStringList{"--baseline", "--matches"};
    QTest::newRow("baseline in a workbook") << QStringList{"export-sheet", "results", "--baseline"};
    const QStringList t{"trend"};
    QTest::newRow("trend kind") << t + QStringList{"--kind", "colour"};
    QTest::newRow("trend last 0") << t + QStringList{"--last", "0"};
    QTest::newRow("trend last and a range") << t + QStringList{"--last", "5", "--to", "2013010"};
    QTest::newRow("trend backwards") << t + QStringList{"--from", "2013010", "--to", "2013001"};
    QTest::newRow("trend after the history") << t + QStringList{"--from", "2030001"};
}

void CliSearchTest::badOptionValuesExitTwo() {
    QFETCH(QStringList, args);
    history_ = randomHistory(20, 7);
    const Result r = cli(args);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.count('\n') == 1, qPrintable(r.err));
}

void CliSearchTest::referenceOutsideTheHistoryExitsOne_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("verify before the history") << QStringList{"search", "--verify", "2013001"};
    QTest::newRow("verify too early for lag 3")
        << QStringList{"search", "--verify", "2013003", "--lag", "3"};
    QTest::newRow("lag longer than the history") << QStringList{"combo", "--lag", "9"};
}

void CliSearchTest::referenceOutsideTheHistoryExitsOne() {
    QFETCH(QStringList, args);
    history_ = randomHistory(5, 11);
    const Result r = cli(args);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.count('\n') == 1, qPrintable(r.err));
}

void CliSearchTest::emptyHistoryIsReported_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("search") << QStringList{"search"};
    QTest::newRow("search by head, lag 3")
        << QStringList{"search", "--result", "head", "--lag", "3"};
    QTest::newRow("verify") << QStringList{"search", "--verify", "2013010", "--result", "tail"};
    QTest::newRow("combo") << QStringList{"combo", "--k", "3", "--result", "segment"};
    QTest::newRow("trend") << QStringList{"trend", "--summary"};
}

// Nothing to search is a failure the user is told about, not an empty tally.
void CliSearchTest::emptyHistoryIsReported() {
    QFETCH(QStringList, args);
    QCOMPARE(cli({"append", "1", "2", "3", "4", "5"}).code, 0);
    QCOMPARE(cli({"delete-last"}).code, 0);
    const Result r = cli(args);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.contains("历史号码是空的"), qPrintable(r.err));
}

void CliSearchTest::importReportsStoredAndSkippedLines() {
    const QString path = writeFile("history.txt", "2013003 05 06 07 08 09 \n"
                                                  "2013001 01 02 03 04 05 \n"
                                                  "2013002 01 02 03 04 \n"
                                                  "2013002 02 04 06 08 10 \n"
                                                  "2013004 01 01 02 03 04 \n"
                                                  "2013005 11 12 13 14 15 \n");
    // Refused first: the lines left out listed on stdout, one line on stderr, nothing stored.
    const Result refused = cli({"import", path});
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.out.startsWith("文件中有 2 行没有照原样读入：\n第 3 行：只有 4 个两位数号码，"
                                    "需要五个（2013002 01 02 03 04）"),
             qPrintable(refused.out));
    QVERIFY2(refused.err.contains("--skip-bad-lines") && refused.err.count('\n') == 1,
             qPrintable(refused.err));
    QCOMPARE(cli({"list", "--format", "csv"}).out.count('\n'), 1);

    const Result r = cli({"import", "--skip-bad-lines", path});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    QVERIFY2(r.out.contains("已读入 4 期"), qPrintable(r.out));
    QVERIFY2(r.out.contains("有 2 行未读入"), qPrintable(r.out));
    QVERIFY2(r.out.contains("第 3 行") && r.out.contains("第 5 行"), qPrintable(r.out));

    // Stored in issue order whatever the order of the lines.
    const Result list = cli({"list", "--format", "csv"});
    QCOMPARE(parseCsv(list.out).mid(1),
             (QList<QStringList>{{"2013001", "1", "2", "3", "4", "5"},
                                 {"2013002", "2", "4", "6", "8", "10"},
                                 {"2013003", "5", "6", "7", "8", "9"},
                                 {"2013005", "11", "12", "13", "14", "15"}}));
}

// A hole between the issues is a fault of the file like a bad line: refused unless the user
// says to import the rest.
void CliSearchTest::importWithAHoleIsRefused() {
    const QString path = writeFile("holed.txt", "2013001 01 02 03 04 05 \n"
                                                "2013002 02 04 06 08 10 \n"
                                                "2013005 11 12 13 14 15 \n");
    const Result refused = cli({"import", path});
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.out.contains("2013003") && refused.err.contains("--skip-bad-lines") &&
                 refused.err.count('\n') == 1,
             qPrintable(refused.out + refused.err));
    QCOMPARE(cli({"list", "--format", "csv"}).out.count('\n'), 1);
    const Result r = cli({"import", "--skip-bad-lines", path});
    QVERIFY2(r.code == 0 && r.out.contains("已读入 3 期"), qPrintable(r.out + r.err));
}

void CliSearchTest::unusableImportLeavesTheHistory_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("empty file") << QByteArray() << true;
    static const char binary[] = "\x00\x01\x02\xff 2013001 01 02 03 04 05";
    QTest::newRow("binary") << QByteArray(binary, sizeof binary - 1) << true;
    QTest::newRow("no draw") << QByteArray("hello\nworld\n") << true;
}

void CliSearchTest::unusableImportLeavesTheHistory() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    history_ = randomHistory(30, 3);
    const QString before = cli({"list"}).out;
    const QString path =
        exists ? writeFile("bad.txt", bytes) : home_->filePath("nowhere/history.txt");
    const Result r = cli({"import", path});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith("quorvex-cli: ") && r.err.count('\n') == 1, qPrintable(r.err));
    QCOMPARE(cli({"list"}).out, before);
}

QTEST_GUILESS_MAIN(CliSearchTest)
#include "tst_cli_search.moc"
