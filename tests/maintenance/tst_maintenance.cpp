#include "analysis/ReferenceDraw.h"
#include "FileFacts.h"
#include "maintenance/HistoryMaintenance.h"
#include "TestHistory.h"

#include "ChildKill.h"
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>

#include <QtTest>

#include <csignal>
#include <limits>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;

namespace {

using Rows = TableRows;

QVector<Numbers> draws(int count, int offset = 0) {
    QVector<Numbers> out;
    for (int i = 0; i < count; ++i)
        out << drawFor(i + offset);
    return out;
}

// Appends draws one by one as the importers do, in one transaction: one sync, not one a draw.
void fill(TempHistory& h, qint64 firstIssue, const QVector<Numbers>& numbers,
          const ValueBases& bases = {}) {
    HistoryStore::Transaction t(h.store());
    h.appendMany(firstIssue, numbers, bases);
    QString error;
    if (!t.commit(&error))
        qFatal("cannot fill a test history: %s", qPrintable(error));
}

// The rows the history would hold had the draws been appended one by one with bases.
Rows appendedRows(qint64 firstIssue, const QVector<Numbers>& numbers, const ValueBases& bases) {
    TempHistory h;
    fill(h, firstIssue, numbers, bases);
    return tableRows(h.store());
}

enum class Command { KeepTo, DropLast, Rebuild };

MaintenanceReport runCommand(Command command, HistoryStore& store, const QString& folder,
                             qint64 argument, const ValueBases& bases = {}) {
    switch (command) {
    case Command::KeepTo:
        return keepToIssue(store, folder, argument, bases);
    case Command::DropLast:
        return dropLastIssues(store, folder, argument, bases);
    case Command::Rebuild:
        break;
    }
    return rebuildHistory(store, folder, bases);
}

} // namespace

Q_DECLARE_METATYPE(Command)

class MaintenanceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dropLastLimitWorksOnIssueNumbers_data();
    void dropLastLimitWorksOnIssueNumbers();
    void inputBoxAnswers_data();
    void inputBoxAnswers();
    void keepAndDropOnAHundredDraws_data();
    void keepAndDropOnAHundredDraws();
    void dropAcrossTheYearKeepsLastYear();
    void refusedArgumentsChangeNothing_data();
    void refusedArgumentsChangeNothing();
    void rebuildDerivesWithTheCurrentBases_data();
    void rebuildDerivesWithTheCurrentBases();
    void eraseLastDrawLeavesTheRestAsStored();
    void emptyHistoryIsNoError_data();
    void emptyHistoryIsNoError();
    void clearRemovesEveryDraw();
    void unwritableBackupLeavesHistoryUnchanged_data();
    void unwritableBackupLeavesHistoryUnchanged();
    void failureHalfWayLeavesHistoryUnchanged_data();
    void failureHalfWayLeavesHistoryUnchanged();
    void drawTheBackupCannotCarryIsNotLost();
    void killedRebuildLeavesBeforeOrAfter();
};

void MaintenanceTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void MaintenanceTest::dropLastLimitWorksOnIssueNumbers_data() {
    QTest::addColumn<qint64>("last");
    QTest::addColumn<qint64>("n");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("within a year") << qint64(2013100) << qint64(3) << qint64(2013097);
    QTest::newRow("reaching into the year before")
        << qint64(2014002) << qint64(3) << qint64(2013999);
    QTest::newRow("huge count does not wrap")
        << qint64(2014002) << std::numeric_limits<qint64>::max() << qint64(2014002 - INT64_MAX);
    QTest::newRow("past the smallest issue") << std::numeric_limits<qint64>::min() + 1 << qint64(5)
                                             << std::numeric_limits<qint64>::min();
}

void MaintenanceTest::dropLastLimitWorksOnIssueNumbers() {
    QFETCH(qint64, last);
    QFETCH(qint64, n);
    QFETCH(qint64, limit);
    QCOMPARE(dropLastLimit(last, n), limit);
}

void MaintenanceTest::inputBoxAnswers_data() {
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value"); // 0: nothing changes
    QTest::newRow("cancelled") << true << QString() << qint64(0);
    QTest::newRow("empty") << false << "" << qint64(0);
    QTest::newRow("blanks") << false << "   " << qint64(0);
    QTest::newRow("zero") << false << "0" << qint64(0);
    QTest::newRow("negative") << false << "-3" << qint64(0);
    QTest::newRow("letters") << false << "abc" << qint64(0);
    QTest::newRow("trailing letters") << false << "3x" << qint64(0);
    QTest::newRow("fraction") << false << "3.5" << qint64(0);
    QTest::newRow("too large") << false << "99999999999999999999" << qint64(0);
    QTest::newRow("count") << false << "3" << qint64(3);
    QTest::newRow("issue with blanks") << false << " 2013097 " << qint64(2013097);
}

void MaintenanceTest::inputBoxAnswers() {
    QFETCH(bool, cancelled);
    QFETCH(QString, text);
    QFETCH(qint64, value);
    const auto answer = positiveAnswer(cancelled ? std::nullopt : std::optional<QString>(text));
    QCOMPARE(answer.value_or(0), value);
}

void MaintenanceTest::keepAndDropOnAHundredDraws_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<qint64>("argument");
    QTest::addColumn<qint64>("lastKept"); // 0: nothing kept
    QTest::newRow("drop the last 3") << Command::DropLast << qint64(3) << qint64(2013097);
    QTest::newRow("drop 1 (the default)") << Command::DropLast << qint64(1) << qint64(2013099);
    QTest::newRow("drop more than there are") << Command::DropLast << qint64(500) << qint64(0);
    QTest::newRow("keep to the last issue (the default)")
        << Command::KeepTo << qint64(2013100) << qint64(2013100);
    QTest::newRow("keep to a middle issue")
        << Command::KeepTo << qint64(2013050) << qint64(2013050);
    QTest::newRow("keep to an issue below the first")
        << Command::KeepTo << qint64(2012365) << qint64(0);
    QTest::newRow("keep to an issue after the last")
        << Command::KeepTo << qint64(2099001) << qint64(2013100);
    QTest::newRow("rebuild") << Command::Rebuild << qint64(0) << qint64(2013100);
}

void MaintenanceTest::keepAndDropOnAHundredDraws() {
    QFETCH(Command, command);
    QFETCH(qint64, argument);
    QFETCH(qint64, lastKept);
    TempHistory h;
    const QVector<Numbers> numbers = draws(100);
    fill(h, 2013001, numbers);
    const Rows before = tableRows(h.store());

    const MaintenanceReport r = runCommand(command, h.store(), h.folder(), argument);
    QVERIFY2(!r.failed(), qPrintable(r.error));
    QVERIFY2(r.warning.isEmpty(), qPrintable(r.warning));

    const int kept = lastKept ? int(lastKept - 2013000) : 0;
    // Keeping every draw as it was derived changes nothing: no step, and the report says so.
    QCOMPARE(r.changed, kept < 100);
    QCOMPARE(r.unchanged, kept == 100);
    QCOMPARE(r.keptDraws, kept);
    QCOMPARE(r.lastIssue.value_or(0), lastKept);
    QCOMPARE(r.removed.size(), 100 - kept);
    for (qsizetype i = 0; i < r.removed.size(); ++i) {
        QCOMPARE(r.removed[i].issue, 2013001 + kept + i);
        QCOMPARE(r.removed[i].numbers, numbers[kept + i]);
    }
    // The kept draws hold exactly what they held: same numbers, same bases, same chain.
    QCOMPARE(tableRows(h.store()), before.mid(0, kept));
    QCOMPARE(h.store().nextIssue(QDate(2020, 5, 1)), lastKept ? lastKept + 1 : 2020001);
    QVERIFY(r.message().contains(kept ? QString::number(lastKept) : QStringLiteral("清空")) ||
            r.removed.isEmpty());

    // The backup holds the kept draws and stays behind.
    QFile backup(QDir(h.folder()).filePath(QStringLiteral("lsbf.txt")));
    QVERIFY(backup.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = backup.readAll().split('\n');
    QCOMPARE(lines.size(), kept + 1);
    if (kept)
        QCOMPARE(lines.first(), QByteArray("2013001 ") + numberList(numbers[0]).toLatin1() + '\r');

    // The reference draw of the window is the last, or the intPreQi-th from the end, of what
    // remains.
    const HistoryView view = readHistoryView(h.store());
    if (kept >= 3) {
        QCOMPARE(view.at(SeekRefDraw(view, true, 3))->issue, lastKept);
        QCOMPARE(view.at(SeekRefDraw(view, false, 3))->issue, lastKept - 2);
    } else if (kept == 0) {
        QCOMPARE(SeekRefDraw(view, true, 3), qsizetype(-1));
    }
}

void MaintenanceTest::dropAcrossTheYearKeepsLastYear() {
    TempHistory h;
    fill(h, 2013357, draws(3));
    fill(h, 2014001, draws(2, 3));
    const MaintenanceReport r = dropLastIssues(h.store(), h.folder(), 3, {});
    QVERIFY2(!r.failed(), qPrintable(r.error));
    // The limit is 2013999: only the two draws of 2014 go.
    QCOMPARE(storedIssues(h.store()), (QVector<qint64>{2013357, 2013358, 2013359}));
    QCOMPARE(r.removed.size(), 2);
    QCOMPARE(r.lastIssue.value_or(0), 2013359);
}

void MaintenanceTest::refusedArgumentsChangeNothing_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<qint64>("argument");
    QTest::newRow("keep to 0") << Command::KeepTo << qint64(0);
    QTest::newRow("keep to a negative issue") << Command::KeepTo << qint64(-2013050);
    QTest::newRow("drop 0") << Command::DropLast << qint64(0);
    QTest::newRow("drop a negative count") << Command::DropLast << qint64(-3);
}

void MaintenanceTest::refusedArgumentsChangeNothing() {
    QFETCH(Command, command);
    QFETCH(qint64, argument);
    TempHistory h;
    fill(h, 2013001, draws(10));
    const Rows before = tableRows(h.store());
    const MaintenanceReport r = runCommand(command, h.store(), h.folder(), argument);
    QVERIFY(r.failed());
    QVERIFY(!r.changed);
    QVERIFY(r.message().contains(QStringLiteral("未作改动")));
    QCOMPARE(tableRows(h.store()), before);
    QVERIFY(!QFileInfo::exists(QDir(h.folder()).filePath(QStringLiteral("lsbf.txt"))));
}

void MaintenanceTest::rebuildDerivesWithTheCurrentBases_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<qint64>("argument");
    QTest::addColumn<int>("kept");
    QTest::newRow("keep to the last issue") << Command::KeepTo << qint64(2013060) << 60;
    QTest::newRow("drop the last 5") << Command::DropLast << qint64(5) << 55;
    QTest::newRow("rebuild") << Command::Rebuild << qint64(0) << 60;
}

void MaintenanceTest::rebuildDerivesWithTheCurrentBases() {
    QFETCH(Command, command);
    QFETCH(qint64, argument);
    QFETCH(int, kept);
    // Issues 2013001..2013060 straddle the zodiac cut-off of 2013 (issue 41).
    const QVector<Numbers> numbers = draws(60);
    TempHistory h;
    fill(h, 2013001, numbers, ValueBases{1, 1});
    const ValueBases now{0, 0};

    const MaintenanceReport r = runCommand(command, h.store(), h.folder(), argument, now);
    QVERIFY2(!r.failed(), qPrintable(r.error));
    QVERIFY(r.rebuilt);
    // Exactly the rows an import under the new bases stores.
    QCOMPARE(tableRows(h.store()), appendedRows(2013001, numbers.mid(0, kept), now));
    // Zodiac base 0: the number n has zodiac (Y - 1971 - n) mod 12 in zodiac year Y, and issue
    // 41 of 2013 still belongs to 2012; segment base 0: 1..3 is segment 0.
    const auto zodiacOf = [](int year, int n) { return ((year - 1971 - n) % 12 + 12) % 12; };
    for (const auto& [issue, year] : {std::pair{2013041, 2012}, std::pair{2013042, 2013}}) {
        const Numbers& n = numbers[issue - 2013001];
        QCOMPARE(h.integer(issue, QStringLiteral("L1B")), zodiacOf(year, n[0]));
        QCOMPARE(h.integer(issue, QStringLiteral("L1H")), (n[0] - 1) / 3);
    }

    // The reference values the window loads afterwards carry the new bases too.
    const HistoryView view = readHistoryView(h.store());
    const qsizetype ref = SeekRefDraw(view, true, 2);
    const auto zodiac = referenceValuesAt(view, ref, 1);
    const auto segment = referenceValuesAt(view, ref, 5);
    QVERIFY(zodiac && segment);
    for (int i = 0; i < kPositions; ++i) {
        QCOMPARE((*zodiac)[i], zodiacOf(2013, numbers[kept - 1][i]));
        QCOMPARE((*segment)[i], (numbers[kept - 1][i] - 1) / 3);
    }
}

void MaintenanceTest::eraseLastDrawLeavesTheRestAsStored() {
    TempHistory h;
    // Stored under other bases than the defaults: deleting one draw re-derives nothing.
    fill(h, 2013001, draws(5), ValueBases{0, 0});
    const Rows before = tableRows(h.store());

    const MaintenanceReport r = eraseLastDraw(h.store());
    QVERIFY2(!r.failed(), qPrintable(r.error));
    QVERIFY(r.changed && !r.rebuilt);
    QCOMPARE(r.removed.size(), 1);
    QCOMPARE(r.removed.first().issue, 2013005);
    QCOMPARE(r.removed.first().numbers, drawFor(4));
    QCOMPARE(r.lastIssue.value_or(0), 2013004);
    QCOMPARE(r.keptDraws, 4);
    QCOMPARE(tableRows(h.store()), before.mid(0, 4));
    QVERIFY(r.message().contains(QStringLiteral("2013005")));

    const HistoryView view = readHistoryView(h.store());
    QCOMPARE(view.at(SeekRefDraw(view, true, 2))->issue, 2013004);
    QCOMPARE(view.at(SeekRefDraw(view, false, 2))->issue, 2013003);
}

void MaintenanceTest::emptyHistoryIsNoError_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("erase last") << "erase";
    QTest::newRow("clear") << "clear";
    QTest::newRow("drop last") << "drop";
    QTest::newRow("keep to") << "keep";
    QTest::newRow("rebuild") << "rebuild";
}

void MaintenanceTest::emptyHistoryIsNoError() {
    QFETCH(QString, command);
    TempHistory h;
    MaintenanceReport r;
    if (command == "erase")
        r = eraseLastDraw(h.store());
    else if (command == "clear")
        r = clearHistory(h.store());
    else if (command == "drop")
        r = dropLastIssues(h.store(), h.folder(), 3, {});
    else if (command == "keep")
        r = keepToIssue(h.store(), h.folder(), 2013001, {});
    else
        r = rebuildHistory(h.store(), h.folder(), {});
    QVERIFY2(!r.failed(), qPrintable(r.error));
    QVERIFY(r.removed.isEmpty());
    QVERIFY(!r.lastIssue);
    QCOMPARE(r.message(), QStringLiteral("历史号码是空的，没有可删除的记录。"));
    QCOMPARE(h.store().drawCount(), 0);
}

void MaintenanceTest::clearRemovesEveryDraw() {
    TempHistory h;
    fill(h, 2013001, draws(7));
    const MaintenanceReport r = clearHistory(h.store());
    QVERIFY2(!r.failed(), qPrintable(r.error));
    QVERIFY(r.changed);
    QCOMPARE(r.removed.size(), 7);
    QCOMPARE(r.removed.last().issue, 2013007);
    QCOMPARE(h.store().drawCount(), 0);
    QVERIFY(!r.lastIssue);
    // The issue boxes show the next issue of the empty history, not the old one.
    QCOMPARE(h.store().nextIssue(QDate(2021, 3, 1)), 2021001);
    QVERIFY(r.message().contains(QStringLiteral("清空")));
}

void MaintenanceTest::unwritableBackupLeavesHistoryUnchanged_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<qint64>("argument");
    QTest::newRow("keep to") << Command::KeepTo << qint64(2013010);
    QTest::newRow("drop last") << Command::DropLast << qint64(2);
    QTest::newRow("rebuild") << Command::Rebuild << qint64(0);
}

void MaintenanceTest::unwritableBackupLeavesHistoryUnchanged() {
    QFETCH(Command, command);
    QFETCH(qint64, argument);
    TempHistory h;
    fill(h, 2013001, draws(20));
    const Rows before = tableRows(h.store());
    // Root ignores file modes: a folder under the backup's name stops the write for anyone.
    QVERIFY(QDir(h.folder()).mkdir(QStringLiteral("lsbf.txt")));

    const MaintenanceReport r =
        runCommand(command, h.store(), h.folder(), argument, ValueBases{0, 0});
    QVERIFY(r.failed());
    QVERIFY(!r.changed);
    QVERIFY2(r.error.contains(QStringLiteral("备份文件")), qPrintable(r.error));
    QVERIFY2(r.error.contains(QStringLiteral("未作改动")), qPrintable(r.error));
    QCOMPARE(tableRows(h.store()), before);

    // Nothing is left locked: the store takes the next change.
    QVERIFY(QDir(h.folder()).rmdir(QStringLiteral("lsbf.txt")));
    QVERIFY(!runCommand(command, h.store(), h.folder(), argument).failed());
}

void MaintenanceTest::failureHalfWayLeavesHistoryUnchanged_data() {
    QTest::addColumn<QString>("sabotage");
    QTest::addColumn<QString>("cleanup");
    QTest::newRow("row refused by the database")
        << "CREATE TRIGGER refuse BEFORE INSERT ON Lishi WHEN NEW.SQQH = 2013250 "
           "BEGIN SELECT RAISE(ABORT, 'refused'); END"
        << "DROP TRIGGER refuse";
    QTest::newRow("old rows refused their deletion")
        << "CREATE TRIGGER refuse BEFORE DELETE ON Lishi WHEN OLD.SQQH = 2013150 "
           "BEGIN SELECT RAISE(ABORT, 'refused'); END"
        << "DROP TRIGGER refuse";
}

void MaintenanceTest::failureHalfWayLeavesHistoryUnchanged() {
    QFETCH(QString, sabotage);
    QFETCH(QString, cleanup);
    TempHistory h;
    fill(h, 2013001, draws(300), ValueBases{1, 1});
    const Rows before = tableRows(h.store());

    QSqlQuery q(h.store().database());
    QVERIFY(q.exec(sabotage));

    const MaintenanceReport r = dropLastIssues(h.store(), h.folder(), 10, ValueBases{0, 0});
    QVERIFY(r.failed());
    QVERIFY(!r.changed);
    QVERIFY2(r.error.contains(QStringLiteral("重建")), qPrintable(r.error));
    QVERIFY2(r.error.contains(QStringLiteral("未作改动")), qPrintable(r.error));
    QCOMPARE(tableRows(h.store()), before);

    QVERIFY(q.exec(cleanup));
    const MaintenanceReport again = dropLastIssues(h.store(), h.folder(), 10, ValueBases{0, 0});
    QVERIFY2(!again.failed(), qPrintable(again.error));
    QCOMPARE(h.store().drawCount(), 290);
}

void MaintenanceTest::drawTheBackupCannotCarryIsNotLost() {
    // A row written by another program with a number the history text cannot hold would be
    // dropped by a rebuild through the backup: the rebuild is refused instead.
    TempHistory h;
    fill(h, 2013001, draws(5));
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec("UPDATE Lishi SET L2A = 0 WHERE SQQH = 2013002"));
    const Rows before = tableRows(h.store());

    const MaintenanceReport r = dropLastIssues(h.store(), h.folder(), 1, {});
    QVERIFY(r.failed());
    QVERIFY2(r.error.contains(QStringLiteral("2013002")), qPrintable(r.error));
    QCOMPARE(tableRows(h.store()), before);
}

void MaintenanceTest::killedRebuildLeavesBeforeOrAfter() {
    const QVector<Numbers> numbers = draws(2000);
    const ValueBases a{1, 1}, b{0, 0};
    const Rows rowsA = appendedRows(2001001, numbers, a);
    const Rows rowsB = appendedRows(2001001, numbers, b);
    QVERIFY(rowsA != rowsB);

    TempHistory h;
    fill(h, 2001001, numbers, a);
    const QString folder = h.folder();
    h.store().close();
    QTemporaryDir counterDir;
    const QByteArray counter = QFile::encodeName(counterDir.filePath(QStringLiteral("done")));
    int seenA = 0, seenB = 0;

    // A child rebuilds with alternating bases until it is killed at a random moment: the
    // history is then one of the two whole histories, never a mixture or a part.
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            HistoryStore store;
            QString error;
            if (!store.open(folder, &error))
                ::_exit(3);
            for (int i = round;; ++i) {
                const MaintenanceReport r = rebuildHistory(store, folder, i % 2 ? b : a);
                if (!r.failed()) {
                    QFile done(QString::fromLocal8Bit(counter));
                    if (!done.open(QIODevice::Append) || done.write("x") != 1)
                        ::_exit(4);
                }
            }
        }
        // Every other round waits for one more completed rebuild first, so that kills also land
        // after a committed one however slow the build (a sanitizer's, say) makes the child.
        if (round % 2 == 1)
            waitForFileToGrow(QString::fromLocal8Bit(counter), 60000);
        QVERIFY(killAfterRandomDelay(child, 20000, 300000));

        HistoryStore store;
        QString error;
        QVERIFY2(store.open(folder, &error), qPrintable(error));
        const Rows now = tableRows(store);
        QVERIFY2(now == rowsA || now == rowsB, "the history is neither before nor after");
        (now == rowsA ? seenA : seenB)++;
    }
    QVERIFY2(QFileInfo(QString::fromLocal8Bit(counter)).size() > 0,
             "no rebuild completed before a kill: the kills never hit a committed rebuild");
    qInfo("history with the first bases in %d, the second in %d of 12 rounds", seenA, seenB);
}

QTEST_GUILESS_MAIN(MaintenanceTest)
#include "tst_maintenance.moc"
