// The copies every change that removes or replaces draws keeps first, and undo, which puts the
// newest back: exactly, after any of those changes, also when killed at any moment.
#include "ChildKill.h"
#include "FollowOracle.h"
#include "import/HistoryMaintenance.h"
#include "import/HistoryUndo.h"
#include "import/TextImport.h"
#include "import/UpdateApply.h"
#include "TestHistory.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;

namespace {

enum class Change { EraseLast, Clear, KeepTo, DropLast, Rebuild, Import, UpdateRetention };

// A history as other programs and earlier settings may leave it: half derived with one pair of
// bases and half with the other, a text where a number belongs, NULLs, a real, a blob, strQQH
// and working columns holding values. Undo must bring every cell back as it was.
void fillMixed(TempHistory& h, int count) {
    const QVector<Numbers> draws = randomDraws(count, 17);
    {
        HistoryStore::Transaction t(h.store());
        h.appendMany(2001001, draws.mid(0, count / 2), {1, 1});
        h.appendMany(2001001 + count / 2, draws.mid(count / 2), {0, 0});
        QString error;
        if (!t.commit(&error))
            qFatal("cannot fill a test history: %s", qPrintable(error));
    }
    QSqlQuery q(h.store().database());
    for (const char* sql : {"UPDATE Lishi SET strQQH = '2001003' WHERE SQQH = 2001003",
                            "UPDATE Lishi SET intTh = 7, L1BS = 4, txtHisP6 = 'x' "
                            "WHERE SQQH = 2001002",
                            "UPDATE Lishi SET txtHisLstDs = NULL, L2E = 'one' WHERE SQQH = 2001004",
                            "UPDATE Lishi SET bolOk = 1.5 WHERE SQQH = 2001005",
                            "UPDATE Lishi SET txtHisP6 = x'00ff' WHERE SQQH = 2001006"})
        if (!q.exec(QString::fromLatin1(sql)))
            qFatal("cannot mix the test history: %s", sql);
}

QString writeImportFile(const QString& folder) {
    QByteArray text;
    const QVector<Numbers> draws = randomDraws(30, 5);
    for (int i = 0; i < draws.size(); ++i) {
        text += QByteArray::number(2010001 + i) + ' ';
        for (int n : draws[i])
            text += QByteArray::number(n).rightJustified(2, '0') + ' ';
        text += "\r\n";
    }
    const QString path = QDir(folder).filePath(QStringLiteral("import.txt"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        qFatal("cannot write the import file");
    return path;
}

// Runs a change; the reason when it failed.
QString runChange(Change change, HistoryStore& store, const QString& importFile) {
    const QString folder = store.folder();
    switch (change) {
    case Change::EraseLast:
        return eraseLastDraw(store).error;
    case Change::Clear:
        return clearHistory(store).error;
    case Change::KeepTo:
        return keepToIssue(store, folder, 2001010, {}).error;
    case Change::DropLast:
        return dropLastIssues(store, folder, 5, {}).error;
    case Change::Rebuild:
        return rebuildHistory(store, folder, {0, 1}).error;
    case Change::Import:
        return importHistoryFile(store, importFile, {}).error;
    case Change::UpdateRetention: {
        HistoryBounds bounds;
        QString why;
        if (!readHistoryBounds(store, &bounds, &why))
            return why;
        const UpdatePlan plan = planUpdate(bounds.first, bounds.last, 3, 2026);
        QVector<ScannedDraw> draws;
        for (const Numbers& n : randomDraws(40, 9))
            draws.append({2023001 + draws.size(), n});
        ZodiacYear zodiacYear;
        int cleared = 0;
        if (!plan.clearHistory)
            return QStringLiteral("the retention is not due");
        applyUpdate(store, plan, draws, {}, zodiacYear, &cleared, &why);
        return why;
    }
    }
    return {};
}

QVector<Change> allChanges() {
    return {Change::EraseLast, Change::Clear,  Change::KeepTo,         Change::DropLast,
            Change::Rebuild,   Change::Import, Change::UpdateRetention};
}

const char* changeName(Change change) {
    static const char* const names[] = {"delete the last draw",     "clear",   "keep to an issue",
                                        "drop the last N",          "rebuild", "import",
                                        "online update's retention"};
    return names[int(change)];
}

QString copyFolder(const TempHistory& h) {
    return QDir(h.folder()).filePath(historyCopyFolderName());
}

} // namespace

Q_DECLARE_METATYPE(Change)

class UndoTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void undoRestoresEveryStoredField_data();
    void undoRestoresEveryStoredField();
    void newestThirtyCopiesAreKept();
    void failedChangeCostsNoOlderCopy_data();
    void failedChangeCostsNoOlderCopy();
    void unwritableCopyStopsTheChange_data();
    void unwritableCopyStopsTheChange();
    void undoThatCannotRestoreChangesNothing_data();
    void undoThatCannotRestoreChangesNothing();
    void killedChangeOrUndoLeavesBeforeOrAfter_data();
    void killedChangeOrUndoLeavesBeforeOrAfter();
};

void UndoTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void UndoTest::undoRestoresEveryStoredField_data() {
    QTest::addColumn<Change>("change");
    for (const Change c : allChanges())
        QTest::newRow(changeName(c)) << c;
}

void UndoTest::undoRestoresEveryStoredField() {
    QFETCH(Change, change);
    TempHistory h;
    fillMixed(h, 60);
    const QString importFile = writeImportFile(h.folder());
    const TableRows before = tableRows(h.store());

    const QString error = runChange(change, h.store(), importFile);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const TableRows after = tableRows(h.store());
    QVERIFY(after != before);
    const QVector<HistoryCopy> copies = listHistoryCopies(h.folder());
    QCOMPARE(copies.size(), 1);
    QVERIFY(copies.first().restorable());
    // Its text file is a history file the import reads as the draws before the change.
    const HistoryFileContents text = readHistoryFile(copies.first().textPath);
    QVERIFY2(text.error.isEmpty() && text.problems.isEmpty(), qPrintable(text.error));
    QCOMPARE(text.draws.size(), before.size());
    QCOMPARE(text.draws.last().issue, before.last().first().toLongLong());

    UndoReport undo = undoLastChange(h.store());
    QVERIFY2(undo.restored, qPrintable(undo.error));
    QCOMPARE(tableRows(h.store()), before);
    QCOMPARE(undo.draws, 60);
    QCOMPARE(undo.lastIssue.value_or(0), 2001060);
    const QString message = undo.message();
    QVERIFY2(
        message.startsWith(QStringLiteral("已恢复到 %1 之前的历史号码：60 期，最后一期 2001060")
                               .arg(copyTimeText(copies.first().taken))),
        qPrintable(message));

    // The undo kept what it replaced: undoing it brings the change back.
    undo = undoLastChange(h.store());
    QVERIFY2(undo.restored, qPrintable(undo.error));
    QCOMPARE(tableRows(h.store()), after);
}

void UndoTest::newestThirtyCopiesAreKept() {
    TempHistory h;
    fillMixed(h, 40);
    // Files of the folder that are no copies of this program's stay whatever their names.
    QVERIFY(QDir().mkpath(copyFolder(h)));
    const QStringList others{QStringLiteral("模拟历史号码-示例.txt"),
                             QStringLiteral("替换前的历史号码-notes.txt"),
                             QStringLiteral("替换前的历史号码-20010101-000000.doc")};
    for (const QString& name : others) {
        QFile f(QDir(copyFolder(h)).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("2001001 01 02 03 04 05 \r\n");
    }
    // A copy of an earlier version (text only) is the oldest of all.
    QVERIFY(QFile::copy(
        QDir(copyFolder(h)).filePath(others.first()),
        QDir(copyFolder(h)).filePath(QStringLiteral("替换前的历史号码-20000101-120000.txt"))));
    for (int i = 0; i < 35; ++i) {
        const MaintenanceReport r = eraseLastDraw(h.store());
        QVERIFY2(!r.failed(), qPrintable(r.error));
    }
    const QVector<HistoryCopy> copies = listHistoryCopies(h.folder());
    QCOMPARE(copies.size(), kHistoryCopiesKept);
    QDir dir(copyFolder(h));
    for (const QString& name : others)
        QVERIFY2(dir.exists(name), qPrintable(name));
    QCOMPARE(dir.entryList(QDir::Files).size(), 2 * kHistoryCopiesKept + others.size());
    // The newest first: the copy before the last erase held 6 draws, the oldest kept 35.
    QString why;
    const auto newest = readHistoryCopy(copies.first(), &why);
    QVERIFY2(newest, qPrintable(why));
    QCOMPARE(newest->image.rows, 6);
    const auto oldest = readHistoryCopy(copies.last(), &why);
    QVERIFY2(oldest, qPrintable(why));
    QCOMPARE(oldest->image.rows, 35);
}

void UndoTest::failedChangeCostsNoOlderCopy_data() {
    QTest::addColumn<Change>("change");
    for (const Change c : allChanges())
        QTest::newRow(changeName(c)) << c;
}

// With the folder full, a change that fails after its copy was written leaves the 30 copies as
// they were; the same change going through, and an undo after it, keep 30, newest first.
void UndoTest::failedChangeCostsNoOlderCopy() {
    QFETCH(Change, change);
    TempHistory h;
    fillMixed(h, 60);
    const QString importFile = writeImportFile(h.folder());
    for (int i = 0; i <= kHistoryCopiesKept; ++i)
        QVERIFY(!eraseLastDraw(h.store()).failed());
    auto paths = [&h] {
        QStringList out;
        for (const HistoryCopy& c : listHistoryCopies(h.folder()))
            out << c.textPath;
        return out;
    };
    const QStringList full = paths();
    QCOMPARE(full.size(), kHistoryCopiesKept);

    QSqlQuery q(h.store().database());
    QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE DELETE ON Lishi "
                   "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    QVERIFY(!runChange(change, h.store(), importFile).isEmpty());
    QCOMPARE(paths(), full);

    QVERIFY(q.exec("DROP TRIGGER refuse"));
    const QString error = runChange(change, h.store(), importFile);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList after = paths();
    QCOMPARE(after.mid(1), full.mid(0, kHistoryCopiesKept - 1));
    QVERIFY(!full.contains(after.first()));
    const UndoReport undo = undoLastChange(h.store());
    QVERIFY2(undo.restored, qPrintable(undo.error));
    QCOMPARE(paths().size(), kHistoryCopiesKept);
}

void UndoTest::unwritableCopyStopsTheChange_data() {
    QTest::addColumn<Change>("change");
    for (const Change c : allChanges())
        QTest::newRow(changeName(c)) << c;
}

// Root ignores file modes: a file under the folder's name stops the copy for anyone.
void UndoTest::unwritableCopyStopsTheChange() {
    QFETCH(Change, change);
    TempHistory h;
    fillMixed(h, 30);
    const QString importFile = writeImportFile(h.folder());
    const TableRows before = tableRows(h.store());
    QFile blocker(copyFolder(h));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const QString error = runChange(change, h.store(), importFile);
    QVERIFY2(error.contains(QStringLiteral("副本")), qPrintable(error));
    QCOMPARE(tableRows(h.store()), before);
    QVERIFY(QFileInfo(copyFolder(h)).isFile());
    QVERIFY(!QFileInfo::exists(QDir(h.folder()).filePath(QStringLiteral("lsbf.txt"))));

    // Nothing is left locked: once the folder can be made, the change goes through.
    QVERIFY(QFile::remove(copyFolder(h)));
    const QString again = runChange(change, h.store(), importFile);
    QVERIFY2(again.isEmpty(), qPrintable(again));
    QCOMPARE(listHistoryCopies(h.folder()).size(), 1);
}

void UndoTest::undoThatCannotRestoreChangesNothing_data() {
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<QString>("reason");
    QTest::newRow("only a text copy of an earlier version") << false << "没有可以撤销的修改";
    QTest::newRow("the newest copy cut short") << true << "无法读取";
}

// A text-only copy cannot be put back exactly, and a damaged newest copy must not give way to an
// older one: nothing changes, and the message says why.
void UndoTest::undoThatCannotRestoreChangesNothing() {
    QFETCH(bool, damaged);
    QFETCH(QString, reason);
    TempHistory h;
    fillMixed(h, 10);
    QVERIFY(QDir().mkpath(copyFolder(h)));
    QFile old(QDir(copyFolder(h)).filePath(QStringLiteral("替换前的历史号码-20240101-080000.txt")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("2001001 01 02 03 04 05 \r\n");
    old.close();
    if (damaged) {
        QVERIFY(!eraseLastDraw(h.store()).failed());
        QVERIFY(!eraseLastDraw(h.store()).failed());
        QFile undoFile(listHistoryCopies(h.folder()).first().undoPath);
        QVERIFY(undoFile.open(QIODevice::ReadWrite));
        QVERIFY(undoFile.resize(undoFile.size() / 2));
    }
    const TableRows before = tableRows(h.store());
    const QStringList files = QDir(copyFolder(h)).entryList(QDir::Files);

    const UndoReport r = undoLastChange(h.store());
    QVERIFY(r.failed());
    QVERIFY2(r.message().contains(reason), qPrintable(r.message()));
    QVERIFY(r.message().contains(QStringLiteral("未作改动")));
    QCOMPARE(tableRows(h.store()), before);
    QCOMPARE(QDir(copyFolder(h)).entryList(QDir::Files), files);
}

void UndoTest::killedChangeOrUndoLeavesBeforeOrAfter_data() {
    QTest::addColumn<Change>("change");
    for (const Change c : allChanges())
        QTest::newRow(changeName(c)) << c;
}

// A child alternates a change and its undo until it is killed at a random moment: the history
// is then as before or as after the change, never a mixture, and every copy file in the folder
// is whole and holds one of the two.
void UndoTest::killedChangeOrUndoLeavesBeforeOrAfter() {
    QFETCH(Change, change);
    TempHistory reference;
    fillMixed(reference, 2000);
    const QString importFile = writeImportFile(reference.folder());
    QString why;
    const TableRows rowsBefore = tableRows(reference.store());
    const QByteArray cellsBefore = readLishiImage(reference.store(), &why)->cells;
    QVERIFY2(runChange(change, reference.store(), importFile).isEmpty(), "the change failed");
    const TableRows rowsAfter = tableRows(reference.store());
    const QByteArray cellsAfter = readLishiImage(reference.store(), &why)->cells;

    TempHistory h;
    fillMixed(h, 2000);
    QCOMPARE(tableRows(h.store()), rowsBefore);
    const QString folder = h.folder();
    h.store().close();
    QTemporaryDir counterDir;
    const QString counter = counterDir.filePath(QStringLiteral("done"));
    int seenBefore = 0, seenAfter = 0;
    for (int round = 0; round < 8; ++round) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            HistoryStore store;
            QString error;
            if (!store.open(folder, &error))
                ::_exit(3);
            for (;;) {
                const auto now = readLishiImage(store, &error);
                if (!now)
                    ::_exit(4);
                if (now->cells == cellsBefore ? !runChange(change, store, importFile).isEmpty()
                                              : undoLastChange(store).failed())
                    ::_exit(4);
                QFile done(counter);
                if (!done.open(QIODevice::Append) || done.write("x") != 1)
                    ::_exit(5);
            }
        }
        // Every other round waits for one more completed step first, so that kills also land
        // after a committed one however slow the child is.
        if (round % 2 == 1)
            waitForFileToGrow(counter, 60000);
        QVERIFY(killAfterRandomDelay(child, 10000, 250000));

        HistoryStore store;
        QString error;
        QVERIFY2(store.open(folder, &error), qPrintable(error));
        const TableRows now = tableRows(store);
        QVERIFY2(now == rowsBefore || now == rowsAfter, "the history is neither before nor after");
        (now == rowsBefore ? seenBefore : seenAfter)++;
        for (const HistoryCopy& copy : listHistoryCopies(folder)) {
            if (copy.restorable()) {
                const auto read = readHistoryCopy(copy, &error);
                QVERIFY2(read, qPrintable(error));
                QVERIFY2(read->image.cells == cellsBefore || read->image.cells == cellsAfter,
                         "a copy holds neither history");
            }
            if (!copy.textPath.isEmpty()) {
                QFile text(copy.textPath);
                QVERIFY(text.open(QIODevice::ReadOnly));
                const QByteArray bytes = text.readAll();
                const qsizetype lines = bytes.count('\n');
                QVERIFY2(lines == rowsBefore.size() || lines == rowsAfter.size(),
                         "a copy's text file is cut short");
            }
        }
    }
    QVERIFY2(QFileInfo(counter).size() > 0, "no step completed before a kill");
    qInfo("before in %d, after in %d of 8 rounds", seenBefore, seenAfter);
}

QTEST_GUILESS_MAIN(UndoTest)
#include "tst_undo.moc"
