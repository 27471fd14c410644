#include "AppTestSupport.h"
#include "LoopbackHttpServer.h"
#include "ResultsPages.h"

#include <QAction>
#include <QProgressDialog>
#include <QPushButton>

using namespace quorvex;
using namespace quorvex::test;

// Command21 and the server address through the window, against a results server on loopback.
class FrmMainUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void updateAppendsAndRefreshesTheWindow();
    void updateStoppedByAGapWarns();
    void withoutAddressNothingChanges();
    void retentionIsSaidBeforeItHappens();
    void cancelChangesNothing();
    void serverAddressIsEditedAndChecked();
    void missingAddressIsSaidFirst();

private:
    QTemporaryDir settingsDir_;
    int year_ = QDate::currentDate().year();
};

void FrmMainUpdateTest::init() {
    isolateSettings(settingsDir_.path());
    writeRawSetting("strServer", QString());
}

void FrmMainUpdateTest::updateAppendsAndRefreshesTheWindow() {
    LoopbackHttpServer server;
    QVERIFY(server.start());
    server.setYear(year_, LoopbackHttpServer::page(listPage(year_, 1, 15)));
    writeRawSetting("strServer", server.baseAddress());
    TempHistory h;
    for (int s = 1; s <= 10; ++s)
        h.append(year_ * 1000 + s, listPageDraw(year_, s));
    WindowOn f(h.folder());
    auto& [dialogs, w] = f;
    dialogs.answerQuestion(true);
    child<QPushButton>(w, "Command21")->click();
    // While it runs, nothing else that changes the history can start.
    QVERIFY(!child<QPushButton>(w, "cmdRdLst")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!w.onlineUpdate()->isRunning(), 20000);
    QCOMPARE(dialogs.messages(), 1);
    QCOMPARE(dialogs.asked().last().kind, QStringLiteral("information"));
    QVERIFY2(dialogs.asked().last().text.contains("5"), qPrintable(dialogs.asked().last().text));
    QCOMPARE(h.store().drawCount(), qint64(15));
    QCOMPARE(child<QTableView>(w, "MSFlexGrid1")->model()->rowCount(), 15);
    QCOMPARE(text(w, "Text1"), QString::number(year_ * 1000 + 16));
    QCOMPARE(text(w, "Text3_1"), QString::number(year_ * 1000 + 15));
    QCOMPARE(w.session().intRefVal(), listPageDraw(year_, 15));
    QVERIFY(child<QPushButton>(w, "cmdRdLst")->isEnabled());
}

// The window says, with a warning, where the update stopped and why.
void FrmMainUpdateTest::updateStoppedByAGapWarns() {
    LoopbackHttpServer server;
    QVERIFY(server.start());
    server.setYear(year_, LoopbackHttpServer::page(
                              listPage(year_, 1, 15, 1, {{12, QStringLiteral("00 02 03 04 05")}})));
    writeRawSetting("strServer", server.baseAddress());
    WindowFixture f(year_ * 1000 + 10, {listPageDraw(year_, 10)});
    auto& [h, dialogs, w] = f;
    dialogs.answerQuestion(true);
    child<QPushButton>(w, "Command21")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.onlineUpdate()->isRunning(), 20000);
    QCOMPARE(h.store().drawCount(), qint64(2));
    QCOMPARE(dialogs.asked().last().kind, QStringLiteral("warning"));
    QVERIFY2(dialogs.asked().last().text.contains(QString::number(year_ * 1000 + 12)),
             qPrintable(dialogs.asked().last().text));
    QCOMPARE(text(w, "Text1"), QString::number(year_ * 1000 + 12));
}

void FrmMainUpdateTest::withoutAddressNothingChanges() {
    WindowFixture f(year_ * 1000 + 1, {{1, 2, 3, 4, 5}});
    auto& [h, dialogs, w] = f;
    dialogs.answerQuestion(true);
    child<QPushButton>(w, "Command21")->click();
    QCOMPARE(dialogs.messages(), 1);
    QVERIFY(dialogs.asked().last().text.contains("地址"));
    QVERIFY(!w.onlineUpdate()->isRunning());
    QCOMPARE(h.store().drawCount(), qint64(1));
}

// A server that never answers: Cancel in the progress dialog ends the update, nothing stored.
// When the retention will replace the history, the question says what goes and that a copy is
// kept; Cancel then changes nothing.
void FrmMainUpdateTest::retentionIsSaidBeforeItHappens() {
    writeRawSetting("strServer", QStringLiteral("http://127.0.0.1:9"));
    writeRawSetting("IniSerchDay", QStringLiteral("3"));
    WindowFixture f((year_ - 6) * 1000 + 1, sampleDraws(12));
    auto& [h, dialogs, w] = f;
    dialogs.clear();
    child<QPushButton>(w, "Command21")->click();
    QCOMPARE(dialogs.count("question"), 1);
    const QString asked = dialogs.asked().first().text;
    QVERIFY2(asked.startsWith(QStringLiteral("确实要在线更新最新历史号码吗？")), qPrintable(asked));
    QVERIFY2(asked.contains(QStringLiteral("12 期")) && asked.contains(QStringLiteral("副本")) &&
                 asked.contains(QString::number(year_ - 3)),
             qPrintable(asked));
    QCOMPARE(h.store().drawCount(), qint64(12));
}

// Without an address nothing can be fetched: that is said at once, before any retention is put.
void FrmMainUpdateTest::missingAddressIsSaidFirst() {
    writeRawSetting("IniSerchDay", QStringLiteral("3"));
    WindowFixture f((year_ - 6) * 1000 + 1, sampleDraws(12));
    auto& [h, dialogs, w] = f;
    dialogs.clear();
    child<QPushButton>(w, "Command21")->click();
    QCOMPARE(dialogs.count("question"), 0);
    QCOMPARE(dialogs.count("warning"), 1);
    QVERIFY(dialogs.asked().first().text.contains(QStringLiteral("服务器地址")));
    QCOMPARE(h.store().drawCount(), qint64(12));
}

void FrmMainUpdateTest::cancelChangesNothing() {
    LoopbackHttpServer server;
    QVERIFY(server.start());
    LoopbackHttpServer::Response silent;
    silent.kind = LoopbackHttpServer::Response::Silent;
    server.setYear(year_, silent);
    writeRawSetting("strServer", server.baseAddress());
    WindowFixture f(year_ * 1000 + 1, {{1, 2, 3, 4, 5}});
    auto& [h, dialogs, w] = f;
    dialogs.answerQuestion(true);
    child<QPushButton>(w, "Command21")->click();
    QVERIFY(w.onlineUpdate()->isRunning());
    QTRY_VERIFY(!server.requestedYears().isEmpty());
    auto* progress = w.findChild<QProgressDialog*>("updateProgress");
    QVERIFY(progress);
    emit progress->canceled();
    QTRY_VERIFY_WITH_TIMEOUT(!w.onlineUpdate()->isRunning(), 10000);
    QCOMPARE(h.store().drawCount(), qint64(1));
    QVERIFY(child<QPushButton>(w, "Command21")->isEnabled());
}

void FrmMainUpdateTest::serverAddressIsEditedAndChecked() {
    QTemporaryDir folder;
    WindowOn f(folder.path());
    auto& [dialogs, w] = f;
    // Not a web address: told, asked again; then a good one is stored.
    dialogs.answerInput(QStringLiteral("ftp://example.com"));
    dialogs.answerInput(QStringLiteral("https://results.example.com"));
    child<QAction>(w, "mnuServer")->trigger();
    QCOMPARE(dialogs.messages(), 1);
    // Asked again with the address as typed, to be corrected.
    QVERIFY(dialogs.asked()[2].text.endsWith("|ftp://example.com"));
    QCOMPARE(rawSetting("strServer"), QString("https://results.example.com"));
    // Cancel keeps it.
    dialogs.answerInput(std::nullopt);
    child<QAction>(w, "mnuServer")->trigger();
    QCOMPARE(w.session().settings().strServer, QString("https://results.example.com"));
}

QTEST_MAIN(FrmMainUpdateTest)
#include "tst_frmmain_update.moc"
