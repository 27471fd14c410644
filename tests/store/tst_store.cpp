#include "changes/DerivedRowsMark.h"
#include "FileFacts.h"
#include "store/HistoryStore.h"
#include "TestHistory.h"

#include "ChildKill.h"
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;

namespace {

const QVector<Numbers> kDraws{
    {3, 7, 9, 11, 14}, {1, 2, 4, 5, 6}, {1, 13, 2, 14, 3}, {15, 10, 8, 12, 9}, {6, 5, 4, 3, 2}};

// Issue and numbers of every stored draw, oldest first.
QList<QPair<qint64, Numbers>> storedDraws(const HistoryStore& store) {
    QList<QPair<qint64, Numbers>> draws;
    // Keep the view alive: rows() refers into it.
    const HistoryView view = readHistoryView(store);
    for (const StoredDraw& d : view.rows())
        draws.append({d.issue, d.attributes.numbers()});
    return draws;
}

QList<QPair<qint64, Numbers>> expectedDraws(qint64 firstIssue, const QVector<Numbers>& numbers) {
    QList<QPair<qint64, Numbers>> draws;
    for (qsizetype i = 0; i < numbers.size(); ++i)
        draws.append({firstIssue + i, numbers[i]});
    return draws;
}

// Creates an SQLite file with the given statements, outside any store.
void makeSqliteFile(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("fixture");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& sql : statements)
            QVERIFY2(q.exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void appendOne(HistoryStore& store, qint64 issue, const Numbers& numbers) {
    std::optional<DrawAttributes> previous;
    if (const auto last = store.lastDraw())
        previous = last->attributes;
    ZodiacYear zodiac;
    QString error;
    QVERIFY2(store.AppendDraw(issue, numbers, issue, previous, {}, zodiac, &error),
             qPrintable(error));
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void newFolderGetsFullSchema();
    void nextIssueOnEmptyHistory();
    void appendChainsEachDrawToTheOneBefore();
    void duplicateIssueRefused();
    void deleteLastDrawAndDelrec();
    void notAHistoryIsRefusedAndUntouched_data();
    void notAHistoryIsRefusedAndUntouched();
    void compactionReplacesStaleTemporaryFile();
    void compactionIgnoresWhatLiesAtTheOldTemporaryName_data();
    void compactionIgnoresWhatLiesAtTheOldTemporaryName();
    void failedCompactionKeepsHistoryOpen();
    void leftoverFromKilledCompactionIsHarmless();
    void killedCompactionNeverLosesTheHistory();
    void compactionBesideAnotherUserKeepsEveryDraw();
    void pageCheckBesideReadsComesBeforeAnyWrite_data();
    void pageCheckBesideReadsComesBeforeAnyWrite();
};

void StoreTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void StoreTest::newFolderGetsFullSchema() {
    QTemporaryDir dir;
    HistoryStore store;
    QString error;
    QVERIFY2(store.open(dir.path(), &error), qPrintable(error));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("Quorvex.mdb"))));
    // A cut-short creation must never be mistaken for the history.
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Quorvex.mdb.new"))));

    QSqlQuery q(store.database());
    QVERIFY(q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")));
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    QVERIFY(tables.contains(QStringLiteral("Lishi")));
    QVERIFY(tables.contains(QStringLiteral("Carcu")));
    QVERIFY(q.exec(QStringLiteral("SELECT Nmb, Count FROM Carcu")));
    QCOMPARE(store.drawCount(), 0);

    // Reopening the created file accepts it as a history.
    store.close();
    QVERIFY2(store.open(dir.path(), &error), qPrintable(error));
}

void StoreTest::nextIssueOnEmptyHistory() {
    TempHistory h;
    QCOMPARE(h.store().nextIssue(QDate(2013, 7, 1)), qint64(2013001));
    QCOMPARE(h.store().nextIssue(QDate::currentDate()),
             qint64(QDate::currentDate().year()) * 1000 + 1);
    // No roll-over into a new year: the last issue plus one.
    h.append(2013365, {1, 2, 3, 4, 5});
    QCOMPARE(h.store().nextIssue(QDate(2014, 1, 2)), qint64(2013366));
    QString error;
    QCOMPARE(h.store().nextIssue(QDate(2014, 1, 2), &error), std::optional<qint64>(2013366));

    // A history that cannot be read is not taken for an empty one.
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec(QStringLiteral("ALTER TABLE Lishi RENAME TO Gone")));
    QCOMPARE(h.store().nextIssue(QDate(2014, 1, 2), &error), std::nullopt);
    QVERIFY(!error.isEmpty());
}

void StoreTest::appendChainsEachDrawToTheOneBefore() {
    TempHistory h;
    HistoryStore& store = h.store();
    // As an import does: each call gets the attributes returned by the call before it.
    std::optional<DrawAttributes> previous;
    ZodiacYear zodiac;
    for (qsizetype i = 0; i < kDraws.size(); ++i) {
        QString error;
        previous =
            store.AppendDraw(2013045 + i, kDraws[i], 2013045 + i, previous, {}, zodiac, &error);
        QVERIFY2(previous, qPrintable(error));
    }
    QCOMPARE(storedDraws(store), expectedDraws(2013045, kDraws));
    QCOMPARE(h.text(2013045, "txtHisLst"), QString(""));
    for (qsizetype i = 1; i < kDraws.size(); ++i) {
        QCOMPARE(h.text(2013045 + i, "txtHisLst"), numberList(kDraws[i - 1]));
        QCOMPARE(h.integer(2013045 + i - 1, "QQH"), 2013045 + i);
    }
    // 1 and 13 share a zodiac: the second one counts up.
    QVERIFY(h.text(2013048, "txtHisLstSx").startsWith(QStringLiteral("1X06 2X06 ")));
    QCOMPARE(store.lastDraw()->issue, qint64(2013049));
}

void StoreTest::duplicateIssueRefused() {
    TempHistory h;
    h.appendMany(2013001, {kDraws[0], kDraws[1]});
    const auto before = storedDraws(h.store());
    const QString textsBefore = h.text(2013002, "txtHisLstHm");

    ZodiacYear zodiac;
    QString error;
    const auto previous = h.store().lastDraw()->attributes;
    QVERIFY(!h.store().AppendDraw(2013002, kDraws[2], 2013002, previous, {}, zodiac, &error));
    QVERIFY2(error.contains(QStringLiteral("2013002 已存在")), qPrintable(error));
    QCOMPARE(storedDraws(h.store()), before);
    QCOMPARE(h.text(2013002, "txtHisLstHm"), textsBefore);
}

void StoreTest::deleteLastDrawAndDelrec() {
    TempHistory h;
    h.appendMany(2013001, {kDraws[0], kDraws[1], kDraws[2]});
    QString error;
    QVERIFY2(h.store().deleteLastDraw(&error), qPrintable(error));
    QCOMPARE(storedDraws(h.store()), expectedDraws(2013001, {kDraws[0], kDraws[1]}));
    QCOMPARE(h.store().nextIssue(QDate(2020, 1, 1)), qint64(2013003));

    QVERIFY2(h.store().Delrec(&error), qPrintable(error));
    QCOMPARE(h.store().drawCount(), 0);
    QCOMPARE(h.store().nextIssue(QDate(2020, 1, 1)), qint64(2020001));
    // Both are harmless on an empty history.
    QVERIFY(h.store().deleteLastDraw(&error));
    QVERIFY(h.store().Delrec(&error));
    // The first draw after clearing has no draw before it.
    h.append(2020001, kDraws[3]);
    QCOMPARE(h.text(2020001, "txtHisLst"), QString(""));
}

void StoreTest::notAHistoryIsRefusedAndUntouched_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("random bytes") << "random";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("SQLite without Lishi") << "noLishi";
    QTest::newRow("Lishi lacking columns") << "thinLishi";
    QTest::newRow("no Carcu") << "noCarcu";
}

void StoreTest::notAHistoryIsRefusedAndUntouched() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quorvex.mdb"));
    if (kind == QLatin1String("random") || kind == QLatin1String("empty")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(kind == QLatin1String("random") ? 8192 : 0, '\0');
        for (char& b : bytes)
            b = char(QRandomGenerator::global()->bounded(256));
        f.write(bytes);
    } else if (kind == QLatin1String("noLishi")) {
        makeSqliteFile(path, {QStringLiteral("CREATE TABLE Customers (id INTEGER, name TEXT)"),
                              QStringLiteral("INSERT INTO Customers VALUES (1, 'a')")});
    } else if (kind == QLatin1String("thinLishi")) {
        makeSqliteFile(path, {QStringLiteral("CREATE TABLE Lishi (SQQH INTEGER, L1A INTEGER)"),
                              QStringLiteral("CREATE TABLE Carcu (Nmb INTEGER, Count INTEGER)")});
    } else {
        TempHistory full;
        const QString source = full.store().databasePath();
        full.store().close();
        QVERIFY(QFile::copy(source, path));
        makeSqliteFile(path, {QStringLiteral("DROP TABLE Carcu")});
    }
    const QByteArray before = fileHash(path);
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files);

    HistoryStore store;
    QString error;
    QVERIFY(!store.open(dir.path(), &error));
    QVERIFY(!store.isOpen());
    QVERIFY2(error.contains(path), qPrintable(error));
    QCOMPARE(fileHash(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), filesBefore);
}

void StoreTest::compactionReplacesStaleTemporaryFile() {
    TempHistory h;
    h.appendMany(2013045, kDraws);
    QFile stale(QDir(h.folder()).filePath(QStringLiteral("QuorvexTmp.mdb")));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("left over from an earlier run");
    stale.close();

    QString error;
    QVERIFY2(compactKeepingMark(h.store(), &error), qPrintable(error));
    QVERIFY(h.store().isOpen());
    QCOMPARE(storedDraws(h.store()), expectedDraws(2013045, kDraws));
    QCOMPARE(h.text(2013046, "txtHisLstSx"), QString("1X04 1X12 1X10 1X08 1X05 "));

    // The reopened store chains new draws to the stored last one.
    h.append(2013050, {1, 2, 3, 4, 5});
    QCOMPARE(h.text(2013050, "txtHisLst"), numberList(kDraws.last()));
    QCOMPARE(h.store().drawCount(), kDraws.size() + 1);
}

void StoreTest::compactionIgnoresWhatLiesAtTheOldTemporaryName_data() {
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("a non-empty folder") << "folder";
    QTest::newRow("a dangling link") << "danglingLink";
}

void StoreTest::compactionIgnoresWhatLiesAtTheOldTemporaryName() {
    QFETCH(QString, obstacle);
    TempHistory h;
    h.appendMany(2013045, kDraws);
    const QString tmp = QDir(h.folder()).filePath(QStringLiteral("QuorvexTmp.mdb"));
    if (obstacle == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(tmp + QStringLiteral("/inside")));
    else
        QVERIFY(QFile::link(QDir(h.folder()).filePath(QStringLiteral("missing/x.mdb")), tmp));

    QString error;
    QVERIFY2(compactKeepingMark(h.store(), &error), qPrintable(error));
    QCOMPARE(storedDraws(h.store()), expectedDraws(2013045, kDraws));
    // Not a file this program made: left as it was.
    QVERIFY(QFileInfo(tmp).isSymLink() || QFileInfo(tmp + QStringLiteral("/inside")).isDir());
}

void StoreTest::failedCompactionKeepsHistoryOpen() {
    TempHistory h;
    h.appendMany(2013045, kDraws);
    QString error;
    {
        // A read still going on this connection makes VACUUM refuse.
        QSqlQuery reading(h.store().database());
        reading.setForwardOnly(true);
        QVERIFY(reading.exec(QStringLiteral("SELECT SQQH FROM Lishi")) && reading.next());
        QVERIFY(!compactKeepingMark(h.store(), &error));
        QVERIFY(error.contains(QStringLiteral("历史号码保持不变")));
    }
    QVERIFY(h.store().isOpen());
    QCOMPARE(storedDraws(h.store()), expectedDraws(2013045, kDraws));
    h.append(2013050, {1, 2, 3, 4, 5});
    QCOMPARE(h.text(2013050, "txtHisLst"), numberList(kDraws.last()));

    // The file on disk is a complete history too.
    HistoryStore again;
    h.store().close();
    QVERIFY2(again.open(h.folder(), &error), qPrintable(error));
    QCOMPARE(again.drawCount(), kDraws.size() + 1);
}

void StoreTest::leftoverFromKilledCompactionIsHarmless() {
    // Earlier versions compacted through QuorvexTmp.mdb, and a kill left part of one behind:
    // it is no history, and compaction clears it away.
    TempHistory h;
    h.appendMany(2013045, kDraws);
    const QString folder = h.folder();
    const QString tmp = QDir(folder).filePath(QStringLiteral("QuorvexTmp.mdb"));
    QFile whole(h.store().databasePath());
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    QFile partial(tmp);
    QVERIFY(partial.open(QIODevice::WriteOnly));
    partial.write(bytes.left(bytes.size() / 2));
    partial.close();
    h.store().close();

    HistoryStore store;
    QString error;
    QVERIFY2(store.open(folder, &error), qPrintable(error));
    QCOMPARE(storedDraws(store), expectedDraws(2013045, kDraws));

    QVERIFY2(compactKeepingMark(store, &error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(tmp));
    QCOMPARE(storedDraws(store), expectedDraws(2013045, kDraws));
    appendOne(store, 2013050, {1, 2, 3, 4, 5});
    QCOMPARE(store.drawCount(), kDraws.size() + 1);
}

void StoreTest::killedCompactionNeverLosesTheHistory() {
    QVector<Numbers> draws;
    for (int i = 0; i < 3000; ++i)
        draws.append(
            {1 + i % 15, 1 + (i + 3) % 15, 1 + (i + 6) % 15, 1 + (i + 9) % 15, 1 + (i + 12) % 15});
    TempHistory h;
    {
        HistoryStore::Transaction t(h.store());
        h.appendMany(2001001, draws);
        QString error;
        QVERIFY2(t.commit(&error), qPrintable(error));
    }
    const QString folder = h.folder();
    const auto expected = storedDraws(h.store());
    h.store().close();
    // The child adds one byte here after every compaction it completes.
    QTemporaryDir counterDir;
    const QByteArray counter = QFile::encodeName(counterDir.filePath(QStringLiteral("done")));

    // A child compacts over and over and is killed at a random moment: whatever step it was
    // in, the folder must still hold the whole history.
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            HistoryStore store;
            QString error;
            if (!store.open(folder, &error))
                ::_exit(3);
            const int done = ::open(counter.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            for (;;) {
                if (compactKeepingMark(store, &error) && ::write(done, "x", 1) < 0)
                    ::_exit(4);
            }
        }
        // Every other round waits for one more completed compaction first, so that kills also
        // land after the first one however slow the machine is.
        if (round % 2 == 1)
            waitForFileToGrow(QString::fromLocal8Bit(counter), 20000);
        QVERIFY(killAfterRandomDelay(child, 5000, 60000));

        HistoryStore store;
        QString error;
        QVERIFY2(store.open(folder, &error), qPrintable(error));
        QCOMPARE(storedDraws(store), expected);
    }
    QVERIFY2(QFileInfo(QString::fromLocal8Bit(counter)).size() > 0,
             "no compaction completed before a kill: the kills never hit the swap");
}

void StoreTest::compactionBesideAnotherUserKeepsEveryDraw() {
    TempHistory h;
    h.appendMany(2013045, kDraws);
    HistoryStore other; // a second user of the same file, as the window beside the CLI
    QString error;
    QVERIFY2(other.open(h.folder(), &error), qPrintable(error));
    QVERIFY(storedDraws(other) == expectedDraws(2013045, kDraws));

    // Both keep working on the one file: no copy is swapped in under the other's feet.
    QVERIFY2(compactKeepingMark(h.store(), &error), qPrintable(error));
    appendOne(other, 2013050, {1, 2, 3, 4, 5});
    QCOMPARE(h.store().drawCount(), kDraws.size() + 1);
    QVERIFY2(compactKeepingMark(other, &error), qPrintable(error));
    appendOne(h.store(), 2013051, {6, 7, 8, 9, 10});
    QCOMPARE(other.drawCount(), kDraws.size() + 2);
}

void StoreTest::pageCheckBesideReadsComesBeforeAnyWrite_data() {
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("writeFirst");
    for (const bool damaged : {false, true}) {
        const char* file = damaged ? "a page overwritten" : "sound file";
        QTest::addRow("%s, verdict asked", file) << damaged << false;
        QTest::addRow("%s, write before the verdict", file) << damaged << true;
    }
}

// The page check left beside the reads: a write waits for its verdict, and a damaged file is
// then closed and refused as open() would have refused it, with nothing written.
void StoreTest::pageCheckBesideReadsComesBeforeAnyWrite() {
    QFETCH(bool, damaged);
    QFETCH(bool, writeFirst);
    TempHistory h;
    QVector<Numbers> draws;
    for (int i = 0; i < 3000; ++i)
        draws << kDraws[i % kDraws.size()];
    h.appendMany(2013001, draws);
    h.store().close();
    const QString path = h.store().databasePath();
    if (damaged) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(4096 * 5));
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) % 251);
        QCOMPARE(f.write(junk), qint64(junk.size()));
    }
    const QByteArray before = fileHash(path);

    HistoryStore store;
    QString error;
    QVERIFY2(store.open(h.folder(), &error, HistoryAccess::ReadWrite, PageCheckTiming::BesideReads),
             qPrintable(error));
    const bool passed = writeFirst ? store.deleteLastDraw(&error) : store.finishPageCheck(&error);
    QCOMPARE(passed, !damaged);
    QCOMPARE(store.isOpen(), !damaged);
    if (damaged) {
        QCOMPARE(store.openFailure(), HistoryOpenFailure::Damaged);
        QVERIFY2(error.contains(path) && error.contains(QStringLiteral("已损坏")),
                 qPrintable(error));
        QCOMPARE(fileHash(path), before);
    } else {
        QCOMPARE(store.drawCount(), writeFirst ? 2999 : 3000);
    }
}

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
