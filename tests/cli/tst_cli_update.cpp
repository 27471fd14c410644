#include "LoopbackHttpServer.h"
#include "ResultsPages.h"

#include "CliProcess.h"
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <QtTest>

using namespace quorvex::test;

namespace {

using Result = quorvex::test::CliResult;

} // namespace

// quorvex-cli update against a test server on loopback; the server answers from this process,
// so the CLI is awaited without blocking the event loop.
class CliUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void updatesFromTheServerOption();
    void usesTheStoredAddress();
    void missingOrBadAddressChangesNothing_data();
    void missingOrBadAddressChangesNothing();
    void badUsage_data();
    void badUsage();
    void timeoutIsTheIdleTime_data();
    void timeoutIsTheIdleTime();
    void gapExitsOneUntilTheServiceIsCorrected();
    void retentionIsSaidBeforeAndTheCopyAfter();
    void pageThatIsNoResultsPageExitsOne();
    void insertRefusedHalfWayStoresNothing_data();
    void insertRefusedHalfWayStoresNothing();

private:
    Result cli(const QStringList& arguments);
    QList<qint64> issues();

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<LoopbackHttpServer> server_;
    QString folder_;
};

void CliUpdateTest::init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("history")));
    QVERIFY(QDir(home_->path()).mkpath(QStringLiteral("config")));
    folder_ = home_->filePath(QStringLiteral("history"));
    server_ = std::make_unique<LoopbackHttpServer>();
    QVERIFY(server_->start());
}

Result CliUpdateTest::cli(const QStringList& arguments) {
    return runProgram(
        QStringList{QStringLiteral(QUORVEX_CLI_PATH), QStringLiteral("--dir"), folder_} + arguments,
        home_->path());
}

QList<qint64> CliUpdateTest::issues() {
    QList<qint64> out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("u"));
        db.setDatabaseName(QDir(folder_).filePath(QStringLiteral("Quorvex.mdb")));
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT SQQH FROM Lishi ORDER BY SQQH")))
            while (q.next())
                out << q.value(0).toLongLong();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("u"));
    return out;
}

void CliUpdateTest::updatesFromTheServerOption() {
    QCOMPARE(cli({"append", "--issue", "2013360", "1", "2", "3", "4", "5"}).code, 0);
    server_->setYear(2013, LoopbackHttpServer::page(fixture("results-2013.html")));
    server_->setYear(2014, LoopbackHttpServer::page(fixture("results-2014.html")));
    const Result r = cli({"update", "--server", server_->baseAddress(), "--today", "2014-02-01"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QStringLiteral("新增 33 期")), qPrintable(r.out));
    QCOMPARE(r.err, QString());
    QCOMPARE(issues().size(), 34);
    QCOMPARE(issues().constLast(), 2014030);

    // Nothing new the second time: success, nothing changed.
    const Result again =
        cli({"update", "--server", server_->baseAddress(), "--today", "2014-02-01"});
    QCOMPARE(again.code, 0);
    QVERIFY(again.out.contains(QStringLiteral("没有找到新的历史号码")));
    QCOMPARE(issues().size(), 34);
}

void CliUpdateTest::usesTheStoredAddress() {
    {
        QSettings s(home_->filePath(QStringLiteral("config/Trelvane.ini")), QSettings::IniFormat);
        s.setValue(QStringLiteral("IniSetting/strServer"), server_->baseAddress());
        s.setValue(QStringLiteral("IniSetting/IniSerchDay"), QStringLiteral("2"));
    }
    for (int y = 2011; y <= 2013; ++y)
        server_->setYear(y, LoopbackHttpServer::page(listPage(y, 1, 5)));
    const Result r = cli({"update", "--today", "2013-06-01"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(server_->requestedYears(), (QList<int>{2011, 2012, 2013}));
    QCOMPARE(issues().size(), 15);
}

void CliUpdateTest::missingOrBadAddressChangesNothing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no address") << QStringList{"update"};
    QTest::newRow("ftp") << QStringList{"update", "--server", "ftp://127.0.0.1/"};
    QTest::newRow("port only") << QStringList{"update", "--server", "8080"};
}

void CliUpdateTest::missingOrBadAddressChangesNothing() {
    QFETCH(QStringList, arguments);
    QCOMPARE(cli({"append", "--issue", "2013040", "1", "2", "3", "4", "5"}).code, 0);
    const Result r = cli(arguments);
    QCOMPARE(r.code, 1);
    QVERIFY(r.out.contains(QStringLiteral("地址")));
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    // The remedy is the CLI's own: it has no menus.
    QVERIFY(!r.out.contains(QStringLiteral("菜单")));
    QCOMPARE(r.err.contains(QStringLiteral("--server")), arguments.size() == 1);
    QCOMPARE(issues(), QList<qint64>{2013040});
}

void CliUpdateTest::badUsage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("surplus argument") << QStringList{"update", "2013"};
}

void CliUpdateTest::badUsage() {
    QFETCH(QStringList, arguments);
    const Result r = cli(arguments + QStringList{"--server", server_->baseAddress()});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
    QVERIFY(server_->requestedYears().isEmpty());
}

void CliUpdateTest::timeoutIsTheIdleTime_data() {
    QTest::addColumn<LoopbackHttpServer::Response>("response");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    LoopbackHttpServer::Response silent;
    silent.kind = LoopbackHttpServer::Response::Silent;
    const QByteArray page = fixture("results-2014.html");
    QTest::newRow("silent") << silent << 1 << QStringLiteral("0.3 秒没有收到数据");
    // Seven times the timeout in all: only the idle time counts.
    QTest::newRow("a byte every 100 ms for 2 s")
        << LoopbackHttpServer::trickle(page, 20, 100) << 0 << QStringLiteral("新增 29 期");
    QTest::newRow("a pause of 900 ms")
        << LoopbackHttpServer::trickle(page, 1, 900) << 1 << QStringLiteral("0.3 秒没有收到数据");
}

void CliUpdateTest::timeoutIsTheIdleTime() {
    QFETCH(LoopbackHttpServer::Response, response);
    QFETCH(int, code);
    QFETCH(QString, said);
    QCOMPARE(cli({"append", "--issue", "2014001", "1", "2", "3", "4", "5"}).code, 0);
    server_->setYear(2014, response);
    const Result r = cli({"update", "--server", server_->baseAddress(), "--today", "2014-03-01",
                          "--timeout", "0.3"});
    QCOMPARE(r.code, code);
    QVERIFY2(r.out.contains(said), qPrintable(r.out));
    QCOMPARE(issues().size(), code == 0 ? 30 : 1);
}

// An invalid draw on the service's page: what lies before it is stored, nothing after it, and
// the update fails until the service is corrected; then the gap is filled.
void CliUpdateTest::gapExitsOneUntilTheServiceIsCorrected() {
    QCOMPARE(cli({"append", "--issue", "2013255", "1", "2", "3", "4", "5"}).code, 0);
    server_->setYear(2013, LoopbackHttpServer::page(listPage(
                               2013, 1, 300, 1, {{258, QStringLiteral("00 02 03 04 05")}})));
    server_->setYear(2014, LoopbackHttpServer::page(listPage(2014, 1, 2)));
    const QStringList update{"update", "--server", server_->baseAddress(), "--today", "2014-01-10"};
    const Result r = cli(update);
    QCOMPARE(r.code, 1);
    QCOMPARE(issues(), (QList<qint64>{2013255, 2013256, 2013257}));
    QVERIFY2(r.out.contains(QStringLiteral("新增 2 期")) && r.out.contains("2013258"),
             qPrintable(r.out));
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")) && r.err.contains("2013258"));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);

    server_->setYear(2013, LoopbackHttpServer::page(listPage(2013, 1, 300)));
    const Result fixed = cli(update);
    QCOMPARE(fixed.code, 0);
    const QList<qint64> all = issues();
    QCOMPARE(all.size(), 46 + 2);
    QCOMPARE(all[3], 2013258);
    QCOMPARE(all.constLast(), 2014002);
}

// The retention deletes the history: that is printed before anything is fetched, the summary
// names the copy kept, and undo puts the old history back.
void CliUpdateTest::retentionIsSaidBeforeAndTheCopyAfter() {
    QCOMPARE(cli({"append", "--issue", "2005001", "1", "2", "3", "4", "5"}).code, 0);
    QCOMPARE(cli({"append", "6", "7", "8", "9", "10"}).code, 0);
    for (int y = 2010; y <= 2013; ++y)
        server_->setYear(y, LoopbackHttpServer::page(listPage(y, 1, 3)));
    const Result r = cli({"update", "--server", server_->baseAddress(), "--today", "2013-06-01"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 2);
    QVERIFY2(lines.first().contains(QStringLiteral("2005001")) &&
                 lines.first().contains(QStringLiteral("副本")),
             qPrintable(lines.first()));
    QVERIFY2(r.out.contains(QStringLiteral("历史号码/替换前的历史号码-")), qPrintable(r.out));
    QCOMPARE(issues().size(), 12);

    const Result undo = cli({"undo"});
    QVERIFY2(undo.code == 0, qPrintable(undo.err));
    QCOMPARE(issues(), (QList<qint64>{2005001, 2005002}));
}

void CliUpdateTest::pageThatIsNoResultsPageExitsOne() {
    QCOMPARE(cli({"append", "--issue", "2013040", "1", "2", "3", "4", "5"}).code, 0);
    server_->setYear(2013, LoopbackHttpServer::page("<html><body>服务器维护中</body></html>"));
    const Result r = cli({"update", "--server", server_->baseAddress(), "--today", "2013-06-01"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.contains(QStringLiteral("2013 年的页面不是开奖结果页面")), qPrintable(r.out));
    QVERIFY2(!r.out.contains(QStringLiteral("没有找到新的历史号码")), qPrintable(r.out));
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
    QCOMPARE(issues(), QList<qint64>{2013040});
}

void CliUpdateTest::insertRefusedHalfWayStoresNothing_data() {
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<int>("firstYear");
    QTest::addColumn<qint64>("refused");
    QTest::newRow("continuing") << qint64(2013040) << 2013 << qint64(2013045);
    // Older than the retention allows: the history is cleared first, then filled anew.
    QTest::newRow("retention") << qint64(2005001) << 2010 << qint64(2011002);
}

// A draw the database refuses in the middle of an update: the draws before it are not kept,
// nor is the history a retention cleared, nor a copy of it.
void CliUpdateTest::insertRefusedHalfWayStoresNothing() {
    QFETCH(qint64, stored);
    QFETCH(int, firstYear);
    QFETCH(qint64, refused);
    QCOMPARE(cli({"append", "--issue", QString::number(stored), "1", "2", "3", "4", "5"}).code, 0);
    for (int y = firstYear; y <= 2013; ++y)
        server_->setYear(y, LoopbackHttpServer::page(listPage(y, 1, 50)));
    const QString path = QDir(folder_).filePath(QStringLiteral("Quorvex.mdb"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        QVERIFY(db.open() && q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Lishi "
                                                   "WHEN NEW.SQQH = %1 "
                                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                                        .arg(refused)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    auto hash = [&path] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                   : QByteArray();
    };
    const QByteArray before = hash();

    const Result r = cli({"update", "--server", server_->baseAddress(), "--today", "2013-06-01"});
    QVERIFY2(r.code == 1 && r.out.contains(QString::number(refused)), qPrintable(r.out + r.err));
    QVERIFY(r.err.startsWith(QStringLiteral("quorvex-cli: ")));
    QCOMPARE(issues(), QList<qint64>{stored});
    QCOMPARE(hash(), before);
    QCOMPARE(QDir(QDir(folder_).filePath(QStringLiteral("历史号码"))).entryList(QDir::Files),
             QStringList());
}

QTEST_GUILESS_MAIN(CliUpdateTest)
#include "tst_cli_update.moc"
