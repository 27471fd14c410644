#include "changes/HistoryUndo.h"
#include "import/OnlineUpdate.h"
#include "import/UpdatePreview.h"
#include "LoopbackHttpServer.h"
#include "ResultsPages.h"
#include "TestHistory.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

namespace {

using Rows = TableRows;
using Response = LoopbackHttpServer::Response;

QList<qint64> range(qint64 first, qint64 last) {
    QList<qint64> out;
    for (qint64 i = first; i <= last; ++i)
        out << i;
    return out;
}

Numbers someDraw(int i) {
    return Numbers{i % 15 + 1, (i + 3) % 15 + 1, (i + 6) % 15 + 1, (i + 9) % 15 + 1,
                   (i + 12) % 15 + 1};
}

QMap<qint64, Numbers> fixtureDraws(const QString& name) {
    return drawsInText(QString::fromUtf8(fixture(name + QStringLiteral(".txt"))));
}

} // namespace

class OnlineUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void continuesTheYearOfTheLastDraw();
    void crossesIntoTheNextYear();
    void emptyHistoryFetchesTheKeptYears();
    void retention_data();
    void retention();
    void oldHistoryContinuesAt2008();
    void gapEndsTheYear();
    void emptyYear_data();
    void emptyYear();
    void gapStopsTheUpdate_data();
    void gapStopsTheUpdate();
    void invalidNumbersEndTheYear();
    void strQQHLimitsTheScan();
    void failedPagesChangeNothing_data();
    void failedPagesChangeNothing();
    void pageIsHeldToTheIdleTimeAndTheDeadline_data();
    void pageIsHeldToTheIdleTimeAndTheDeadline();
    void failedYearHoldsBackLaterYears();
    void cancelChangesNothing();
    void addressIsChecked_data();
    void addressIsChecked();
    void historyChangedMeanwhileIsNotOverwritten_data();
    void historyChangedMeanwhileIsNotOverwritten();
    void redirects_data();
    void redirects();

private:
    UpdateReport run(const QDate& today, int days = 3, int timeoutMs = 10000,
                     const QString& address = {}, std::optional<int> deadlineMs = {},
                     std::optional<RetentionNotice>* notice = nullptr);

    std::unique_ptr<LoopbackHttpServer> server_;
    std::unique_ptr<TempHistory> history_;
};

void OnlineUpdateTest::init() {
    server_ = std::make_unique<LoopbackHttpServer>();
    QVERIFY(server_->start());
    history_ = std::make_unique<TempHistory>();
}

UpdateReport OnlineUpdateTest::run(const QDate& today, int days, int timeoutMs,
                                   const QString& address, std::optional<int> deadlineMs,
                                   std::optional<RetentionNotice>* notice) {
    OnlineUpdate::Options options;
    options.serverAddress = address.isNull() ? server_->baseAddress() : address;
    options.today = today;
    options.iniSerchDay = days;
    options.pageTimeoutMs = timeoutMs;
    if (deadlineMs)
        options.pageDeadlineMs = *deadlineMs;
    OnlineUpdate update(history_->store(), options);
    QSignalSpy finished(&update, &OnlineUpdate::finished);
    // What a confirmation would say before anything is fetched, of the plan that then runs.
    if (notice)
        *notice = update.plan(nullptr);
    update.start();
    if (!finished.wait(60000))
        qFatal("the update did not finish");
    QTest::qWait(20); // a second finished() would arrive here
    if (finished.size() != 1)
        qFatal("finished() came %d times", int(finished.size()));
    return finished.first().first().value<UpdateReport>();
}

void OnlineUpdateTest::continuesTheYearOfTheLastDraw() {
    history_->appendMany(2013038, {someDraw(1), someDraw(2), someDraw(3)});
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    const UpdateReport r = run(QDate(2013, 12, 30));

    QCOMPARE(r.outcome, UpdateReport::Outcome::Updated);
    QCOMPARE(server_->requestedYears(), QList<int>{2013});
    // 364 and 365 are listed without numbers yet.
    QCOMPARE(storedIssues(history_->store()), range(2013038, 2013363));
    QCOMPARE(r.appended, 323);
    QCOMPARE(r.firstIssue, 2013041);
    QCOMPARE(r.lastIssue, 2013363);
    const auto page = fixtureDraws("results-2013");
    const HistoryView view = readHistoryView(history_->store());
    for (const StoredDraw& d : view.rows()) {
        if (d.issue > 2013040)
            QCOMPARE(d.attributes.numbers(), page.value(d.issue));
    }
    // The first appended draw is chained to the stored last one.
    QCOMPARE(history_->text(2013041, "txtHisLst"), numberList(someDraw(3)));
    QVERIFY(r.complete());
    QVERIFY(r.summary().contains(QStringLiteral("新增 323 期")));
}

void OnlineUpdateTest::crossesIntoTheNextYear() {
    history_->appendMany(2013359, {someDraw(1), someDraw(2)});
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    server_->setYear(2014, LoopbackHttpServer::page(fixture("results-2014.html")));
    const UpdateReport r = run(QDate(2014, 2, 1));

    QCOMPARE(server_->requestedYears(), (QList<int>{2013, 2014}));
    QCOMPARE(storedIssues(history_->store()), range(2013359, 2013363) + range(2014001, 2014030));
    const auto page2014 = fixtureDraws("results-2014");
    QCOMPARE(history_->store().lastDraw()->attributes.numbers(), page2014.value(2014030));
    // The previous draw is carried across the years.
    QCOMPARE(history_->text(2014001, "txtHisLst"),
             numberList(fixtureDraws("results-2013").value(2013363)));
    // The zodiac year follows each issue: 2014's cut-off lies after 001.
    QCOMPARE(history_->integer(2014001, "L1B"),
             deriveAttributes(page2014.value(2014001), ZodiacYear(zodiacYearOfIssue(2014001)), {})
                 .at(1, 1));
}

void OnlineUpdateTest::emptyHistoryFetchesTheKeptYears() {
    for (int y = 2023; y <= 2026; ++y)
        server_->setYear(y, LoopbackHttpServer::page(listPage(y, 1, 12, y)));
    const UpdateReport r = run(QDate(2026, 3, 1), 3);

    QCOMPARE(server_->requestedYears(), (QList<int>{2023, 2024, 2025, 2026}));
    QCOMPARE(r.appended, 48);
    QCOMPARE(history_->text(2023001, "txtHisLst"), QString());
    const auto view = readHistoryView(history_->store());
    QCOMPARE(view.size(), 48);
    for (const StoredDraw& d : view.rows())
        QCOMPARE(d.attributes.numbers(),
                 listPageDraw(int(d.issue / 1000), int(d.issue % 1000), int(d.issue / 1000)));
}

void OnlineUpdateTest::retention_data() {
    QTest::addColumn<qint64>("oldest");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("five years old: deleted") << 2021001LL << true;
    QTest::newRow("three years old: kept") << 2023001LL << false;
}

void OnlineUpdateTest::retention() {
    QFETCH(qint64, oldest);
    QFETCH(bool, cleared);
    history_->append(oldest, someDraw(1));
    history_->append(2025100, someDraw(2));
    const Rows before = tableRows(history_->store());
    for (int y = 2023; y <= 2026; ++y)
        server_->setYear(y, LoopbackHttpServer::page(listPage(y, 1, 120)));
    std::optional<RetentionNotice> notice;
    const UpdateReport r = run(QDate(2026, 3, 1), 3, 10000, {}, {}, &notice);
    QVERIFY(notice);
    QCOMPARE(notice->replacesHistory, cleared);
    QCOMPARE(notice->sentence().isEmpty(), !cleared);

    QCOMPARE(r.outcome, UpdateReport::Outcome::Updated);
    const QList<qint64> issues = storedIssues(history_->store());
    if (cleared) {
        QCOMPARE(notice->draws, 2);
        QCOMPARE(notice->startYear, 2023);
        for (const QString& part :
             {QStringLiteral("2 期"), QString::number(oldest), QStringLiteral("2025100"),
              QStringLiteral("2023 年"), QStringLiteral("副本")})
            QVERIFY2(notice->sentence().contains(part), qPrintable(notice->sentence()));
        QCOMPARE(server_->requestedYears(), (QList<int>{2023, 2024, 2025, 2026}));
        QCOMPARE(r.cleared, 2);
        QCOMPARE(issues.first(), 2023001);
        QCOMPARE(issues.size(), 480);
        QVERIFY(r.summary().contains(QStringLiteral("原有的 2 期")));
        // The deleted history was kept first, the summary names the copy, and undo puts it back.
        QVERIFY(QFileInfo::exists(r.copyFile));
        QVERIFY2(r.summary().contains(QDir::toNativeSeparators(r.copyFile)),
                 qPrintable(r.summary()));
        const UndoReport undo = undoStep(history_->store());
        QVERIFY2(undo.done, qPrintable(undo.error));
        QCOMPARE(tableRows(history_->store()), before);
    } else {
        QVERIFY(r.copyFile.isEmpty());
        QVERIFY(listHistoryCopies(history_->folder()).isEmpty());
        QCOMPARE(server_->requestedYears(), (QList<int>{2025, 2026}));
        QCOMPARE(r.cleared, 0);
        const QList<qint64> expected =
            QList<qint64>{oldest} + range(2025100, 2025120) + range(2026001, 2026120);
        QCOMPARE(issues, expected);
        QCOMPARE(history_->text(2025101, "txtHisLst"), numberList(someDraw(2)));
    }
}

void OnlineUpdateTest::oldHistoryContinuesAt2008() {
    history_->appendMany(2005001, {someDraw(1), someDraw(2)});
    for (int y = 2008; y <= 2013; ++y)
        server_->setYear(y, LoopbackHttpServer::page(listPage(y, 1, 3)));
    const UpdateReport r = run(QDate(2013, 6, 1), 16);

    QCOMPARE(server_->requestedYears(), (QList<int>{2008, 2009, 2010, 2011, 2012, 2013}));
    QCOMPARE(r.cleared, 0);
    const QList<qint64> issues = storedIssues(history_->store());
    QCOMPARE(issues.mid(0, 3), (QList<qint64>{2005001, 2005002, 2008001}));
    QCOMPARE(issues.size(), 2 + 18);
    QCOMPARE(history_->text(2008001, "txtHisLst"), numberList(someDraw(2)));
}

void OnlineUpdateTest::gapEndsTheYear() {
    history_->append(2013010, someDraw(1));
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013-gap.html")));
    const UpdateReport r = run(QDate(2013, 12, 1));
    QCOMPARE(storedIssues(history_->store()), range(2013010, 2013044));
    QCOMPARE(r.years.first().scan.end, YearScan::End::MissingIssue);
    QCOMPARE(r.years.first().scan.endIssue, 2013045);
}

void OnlineUpdateTest::emptyYear_data() {
    QTest::addColumn<bool>("laterDraws");
    QTest::newRow("the current year, no draws yet") << false;
    QTest::newRow("a year before years with draws") << true;
}

void OnlineUpdateTest::emptyYear() {
    QFETCH(bool, laterDraws);
    history_->append(2013360, someDraw(1));
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    server_->setYear(2014, LoopbackHttpServer::page(fixture("results-empty.html")));
    server_->setYear(2015, LoopbackHttpServer::page(listPage(2015, 1, 2)));
    const UpdateReport r = run(laterDraws ? QDate(2015, 1, 5) : QDate(2014, 1, 1));
    // 2015 after an empty 2014 would leave all of 2014 out for good.
    QCOMPARE(storedIssues(history_->store()), range(2013360, 2013363));
    QCOMPARE(r.outcome, UpdateReport::Outcome::Updated);
    QCOMPARE(r.complete(), !laterDraws);
    if (laterDraws) {
        QCOMPARE(r.stop->issue, 2014001);
        QVERIFY(r.years.last().held);
        QVERIFY2(r.summary().contains(QStringLiteral("2014 年的页面没有列出任何一期")),
                 qPrintable(r.summary()));
    }
}

void OnlineUpdateTest::gapStopsTheUpdate_data() {
    QTest::addColumn<bool>("retention");
    QTest::addColumn<QByteArray>("page2013");
    QTest::addColumn<qint64>("stopIssue");
    const QByteArray invalid = listPage(2013, 1, 300, 1, {{258, QStringLiteral("00 02 03 04 05")}});
    const QByteArray missing = listPage(2013, 1, 300, 1, {{258, QString()}});
    const QByteArray empty = fixture("results-empty.html");
    for (bool retention : {false, true}) {
        const char* due = retention ? ", retention due" : "";
        QTest::addRow("invalid draw%s", due) << retention << invalid << 2013258LL;
        QTest::addRow("missing issue%s", due) << retention << missing << 2013258LL;
        QTest::addRow("year without draws%s", due)
            << retention << empty << (retention ? 2013001LL : 2013256LL);
    }
}

// Nothing after a gap the pages show is stored, and an old history is not replaced by one
// with a gap.
void OnlineUpdateTest::gapStopsTheUpdate() {
    QFETCH(bool, retention);
    QFETCH(QByteArray, page2013);
    QFETCH(qint64, stopIssue);
    if (retention)
        history_->appendMany(2005001, {someDraw(1), someDraw(2)});
    else
        history_->append(2013255, someDraw(1));
    const Rows before = tableRows(history_->store());
    for (int y = 2011; y <= 2012; ++y)
        server_->setYear(y, LoopbackHttpServer::page(listPage(y, 1, 300)));
    server_->setYear(2013, LoopbackHttpServer::page(page2013));
    server_->setYear(2014, LoopbackHttpServer::page(listPage(2014, 1, 5)));
    const UpdateReport r = run(QDate(2014, 1, 10), retention ? 3 : 16);

    QVERIFY(r.stop);
    QCOMPARE(r.stop->issue, stopIssue);
    QVERIFY(!r.complete());
    QVERIFY(r.years.last().held);
    const QString summary = r.summary();
    QVERIFY2(summary.contains(QString::number(stopIssue)), qPrintable(summary));
    if (retention) {
        QCOMPARE(tableRows(history_->store()), before);
        QVERIFY(r.retentionKept);
        QCOMPARE(r.cleared, 0);
        QVERIFY2(summary.contains(QStringLiteral("原有历史号码没有删除")), qPrintable(summary));
    } else {
        QCOMPARE(storedIssues(history_->store()), range(2013255, stopIssue - 1));
        QVERIFY2(summary.contains(QStringLiteral("此期及其后的号码没有保存")), qPrintable(summary));
    }
}

void OnlineUpdateTest::invalidNumbersEndTheYear() {
    history_->append(2013005, someDraw(1));
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013-invalid.html")));
    const UpdateReport r = run(QDate(2013, 12, 1));
    // 2013012 reads 03 16 05 07 09: the year ends before it; nothing is stored as zeros.
    QCOMPARE(storedIssues(history_->store()), range(2013005, 2013011));
    QCOMPARE(r.years.first().scan.end, YearScan::End::InvalidNumbers);
    QVERIFY(r.summary().contains(QStringLiteral("2013012")));

    // A listed issue without numbers inside the year ends it too.
    init();
    history_->append(2013010, someDraw(1));
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013-undrawn-inside.html")));
    const UpdateReport undrawn = run(QDate(2013, 12, 1));
    QCOMPARE(storedIssues(history_->store()), range(2013010, 2013019));
    QVERIFY(undrawn.summary().contains(QStringLiteral("2013020")));
    QSqlQuery zeros(history_->store().database());
    QVERIFY(zeros.exec(QStringLiteral("SELECT COUNT(*) FROM Lishi WHERE L1A = 0 OR L5A = 0")));
    QVERIFY(zeros.next());
    QCOMPARE(zeros.value(0).toInt(), 0);
}

void OnlineUpdateTest::strQQHLimitsTheScan() {
    history_->append(2013040, someDraw(1));
    QSqlQuery q(history_->store().database());
    QVERIFY(q.exec(QStringLiteral("UPDATE Lishi SET strQQH = '2013050'")));
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    const UpdateReport r = run(QDate(2013, 12, 1));
    QCOMPARE(r.outcome, UpdateReport::Outcome::NothingNew);
    QCOMPARE(r.years.first().scan.end, YearScan::End::ReachedLimit);
    // The page lists later draws the history does not reach.
    QVERIFY(!r.complete());
    QCOMPARE(r.stop->issue, 2013041);
    QCOMPARE(storedIssues(history_->store()), QList<qint64>{2013040});
}

void OnlineUpdateTest::failedPagesChangeNothing_data() {
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("reason");
    Response silent;
    silent.kind = Response::Silent;
    Response loop;
    loop.kind = Response::Redirect;
    Response huge;
    huge.kind = Response::Endless;
    huge.hugeBytes = 50LL * 1024 * 1024;
    Response lying = LoopbackHttpServer::page("<html>");
    QTest::newRow("never answers") << silent << QStringLiteral("秒没有收到数据");
    QTest::newRow("404") << LoopbackHttpServer::status(404) << QStringLiteral("HTTP 404");
    QTest::newRow("500") << LoopbackHttpServer::status(500) << QStringLiteral("HTTP 500");
    QTest::newRow("redirect loop") << loop << QStringLiteral("重定向次数过多");
    QTest::newRow("50 MB page") << huge << QStringLiteral("页面超过 8 MB");
    QTest::newRow("garbage") << LoopbackHttpServer::page(QByteArray(4096, '\x9C'), "application/x")
                             << QStringLiteral("年的页面不是开奖结果页面");
    QTest::newRow("a page without draws or their table")
        << LoopbackHttpServer::page("<html><body><p>请先登录</p></body></html>")
        << QStringLiteral("年的页面不是开奖结果页面");
}

// A history that the retention would clear: a failing server must never empty it.
void OnlineUpdateTest::failedPagesChangeNothing() {
    QFETCH(Response, response);
    QFETCH(QString, reason);
    history_->appendMany(2005001, {someDraw(1), someDraw(2)});
    const Rows before = tableRows(history_->store());
    for (int y = 2010; y <= 2013; ++y)
        server_->setYear(y, response);
    QElapsedTimer timer;
    timer.start();
    const UpdateReport r = run(QDate(2013, 6, 1), 3, 400);
    QVERIFY(timer.elapsed() < 20000);

    QCOMPARE(tableRows(history_->store()), before);
    QVERIFY(!r.changed());
    QCOMPARE(r.years.size(), 4);
    QCOMPARE(r.outcome, UpdateReport::Outcome::Failed);
    QCOMPARE(r.failedYears(), (QVector<int>{2010, 2011, 2012, 2013}));
    QVERIFY2(r.summary().contains(reason), qPrintable(r.summary()));
    QVERIFY(r.summary().contains(QStringLiteral("未作改动")));
}

void OnlineUpdateTest::pageIsHeldToTheIdleTimeAndTheDeadline_data() {
    QTest::addColumn<int>("trickleBytes");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("deadlineMs"); // 0: the update's own
    QTest::addColumn<QString>("reason"); // empty: the page is read
    // The idle time is 300 ms throughout.
    QTest::newRow("a byte every 100 ms for 2 s") << 20 << 100 << 0 << QString();
    QTest::newRow("a byte every 250 ms") << 6 << 250 << 0 << QString();
    QTest::newRow("a pause of 900 ms") << 1 << 900 << 0 << QStringLiteral("0.3 秒没有收到数据");
    QTest::newRow("trickling past the deadline")
        << 20 << 100 << 1000 << QStringLiteral("超过 1 秒仍未收完");
}

// --timeout is the idle time: bytes that keep coming keep the page alive up to the deadline.
void OnlineUpdateTest::pageIsHeldToTheIdleTimeAndTheDeadline() {
    QFETCH(int, trickleBytes);
    QFETCH(int, intervalMs);
    QFETCH(int, deadlineMs);
    QFETCH(QString, reason);
    history_->append(2014001, someDraw(1));
    server_->setYear(
        2014, LoopbackHttpServer::trickle(fixture("results-2014.html"), trickleBytes, intervalMs));
    const UpdateReport r = run(QDate(2014, 3, 1), 3, 300, {},
                               deadlineMs ? std::optional<int>(deadlineMs) : std::nullopt);
    if (reason.isEmpty()) {
        QVERIFY2(r.failedYears().isEmpty(), qPrintable(r.summary()));
        QCOMPARE(storedIssues(history_->store()), range(2014001, 2014030));
        return;
    }
    QCOMPARE(r.failedYears(), QVector<int>{2014});
    QVERIFY2(r.summary().contains(reason), qPrintable(r.summary()));
    QCOMPARE(storedIssues(history_->store()), QList<qint64>{2014001});
}

void OnlineUpdateTest::failedYearHoldsBackLaterYears() {
    history_->append(2013360, someDraw(1));
    server_->setYear(2013, LoopbackHttpServer::status(500));
    server_->setYear(2014, LoopbackHttpServer::page(fixture("results-2014.html")));
    UpdateReport r = run(QDate(2014, 3, 1));
    // Storing 2014 would leave 2013361.. out for good: nothing is stored.
    QCOMPARE(storedIssues(history_->store()), QList<qint64>{2013360});
    QCOMPARE(r.outcome, UpdateReport::Outcome::NothingNew);
    QVERIFY(r.years[1].held);
    QVERIFY(r.summary().contains(QStringLiteral("2013 年的页面读取失败")));
    QVERIFY(r.summary().contains(QStringLiteral("2014 年找到的 30 期未保存")));

    // The other way round, the years before the failure are stored.
    init();
    history_->append(2013360, someDraw(1));
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    server_->setYear(2014, LoopbackHttpServer::status(404));
    r = run(QDate(2014, 3, 1));
    QCOMPARE(storedIssues(history_->store()), range(2013360, 2013363));
    QCOMPARE(r.outcome, UpdateReport::Outcome::Updated);
    QCOMPARE(r.failedYears(), QVector<int>{2014});
    QVERIFY(!r.complete());
}

void OnlineUpdateTest::cancelChangesNothing() {
    history_->append(2013040, someDraw(1));
    const Rows before = tableRows(history_->store());
    Response silent;
    silent.kind = Response::Silent;
    server_->setYear(2012, LoopbackHttpServer::page(fixture("results-2013.html")));
    server_->setYear(2013, silent);

    OnlineUpdate::Options options;
    options.serverAddress = server_->baseAddress();
    options.today = QDate(2013, 12, 1);
    OnlineUpdate update(history_->store(), options);
    QSignalSpy finished(&update, &OnlineUpdate::finished);
    QSignalSpy progress(&update, &OnlineUpdate::progress);
    update.start();
    QVERIFY(update.isRunning());
    // Cancel while the page is awaited, long before any timeout.
    QTRY_VERIFY_WITH_TIMEOUT(server_->requestedYears().contains(2013), 5000);
    update.cancel();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(finished.first().first().value<UpdateReport>().outcome,
             UpdateReport::Outcome::Cancelled);
    QVERIFY(!update.isRunning());
    QCOMPARE(progress.first().first().toInt(), 2013);
    QCOMPARE(tableRows(history_->store()), before);
    QTest::qWait(50);
    QCOMPARE(finished.size(), 1);
}

void OnlineUpdateTest::addressIsChecked_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString("");
    QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1/");
    QTest::newRow("not an address") << QStringLiteral("results service");
}

void OnlineUpdateTest::addressIsChecked() {
    QFETCH(QString, address);
    history_->appendMany(2005001, {someDraw(1), someDraw(2)});
    const Rows before = tableRows(history_->store());
    const UpdateReport r = run(QDate(2013, 6, 1), 3, 1000, address);
    QCOMPARE(r.outcome, UpdateReport::Outcome::Failed);
    QVERIFY(r.summary().contains(QStringLiteral("地址")));
    QVERIFY(server_->requestedYears().isEmpty());
    QCOMPARE(tableRows(history_->store()), before);
}

void OnlineUpdateTest::historyChangedMeanwhileIsNotOverwritten_data() {
    QTest::addColumn<bool>("removes"); // the other writer removes the last draw, else appends
    QTest::newRow("a draw appended") << false;
    QTest::newRow("the last draw removed") << true;
}

void OnlineUpdateTest::historyChangedMeanwhileIsNotOverwritten() {
    QFETCH(bool, removes);
    history_->append(2013039, someDraw(3));
    history_->append(2013040, someDraw(1));
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    OnlineUpdate::Options options;
    options.serverAddress = server_->baseAddress();
    options.today = QDate(2013, 12, 1);
    OnlineUpdate update(history_->store(), options);
    QSignalSpy finished(&update, &OnlineUpdate::finished);
    update.start();
    // Another writer changes the end the update planned from (2013040).
    if (removes) {
        QSqlQuery q(history_->store().database());
        QVERIFY(q.exec("DELETE FROM Lishi WHERE SQQH = 2013040"));
    } else {
        history_->append(2013041, someDraw(2));
    }
    const Rows before = tableRows(history_->store());
    QVERIFY(finished.wait(20000));
    const UpdateReport r = finished.first().first().value<UpdateReport>();
    QCOMPARE(r.outcome, UpdateReport::Outcome::Failed);
    QCOMPARE(tableRows(history_->store()), before);
}

void OnlineUpdateTest::redirects_data() {
    QTest::addColumn<QString>("host");
    QTest::newRow("same host, other port") << QStringLiteral("127.0.0.1");
    QTest::newRow("other host") << QStringLiteral("127.0.0.2");
}

// Draws are taken only from the configured service's host.
void OnlineUpdateTest::redirects() {
    QFETCH(QString, host);
    LoopbackHttpServer target;
    if (!target.start(QHostAddress(host)))
        QSKIP("this machine does not route the address to loopback");
    target.setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    server_->setYear(2013, LoopbackHttpServer::redirect(target.baseAddress()));
    history_->append(2013040, someDraw(1));
    const Rows before = tableRows(history_->store());
    const UpdateReport r = run(QDate(2013, 12, 1));
    if (host == QLatin1String("127.0.0.1")) {
        QCOMPARE(r.outcome, UpdateReport::Outcome::Updated);
        QCOMPARE(storedIssues(history_->store()).constLast(), 2013363);
        return;
    }
    QCOMPARE(r.outcome, UpdateReport::Outcome::Failed);
    QVERIFY(target.requestedYears().isEmpty());
    QVERIFY2(r.summary().contains(QStringLiteral("127.0.0.2")), qPrintable(r.summary()));
    QCOMPARE(tableRows(history_->store()), before);
}

QTEST_GUILESS_MAIN(OnlineUpdateTest)
#include "tst_onlineupdate.moc"
