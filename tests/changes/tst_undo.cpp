// The history of changes: every change of the stored draws is a step that undo takes back and
// redo makes again, exactly and in order; a change that removes or replaces draws keeps a copy
// first; a kill leaves before or after.
#include "changes/HistoryUndo.h"
#include "ChangeScenarios.h"
#include "ChildKill.h"
#include "import/TextImport.h"
#include "maintenance/HistoryMaintenance.h"
#include "store/LishiTable.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QtTest>

#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;

class UndoTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void undoAndRedoWalkEverySeries_data();
    void undoAndRedoWalkEverySeries();
    void copiesAreHistoryFiles_data();
    void copiesAreHistoryFiles();
    void newestThirtyStepsAreKept();
    void failedChangeCostsNoOlderCopy_data();
    void failedChangeCostsNoOlderCopy();
    void unwritableCopyStopsTheChange_data();
    void unwritableCopyStopsTheChange();
    void killedChangeUndoOrRedoLeavesBeforeOrAfter_data();
    void killedChangeUndoOrRedoLeavesBeforeOrAfter();
};

void UndoTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void UndoTest::undoAndRedoWalkEverySeries_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

// Random series of changes of every kind, some undone and replaced by new ones half way: undo
// then walks back through every state the test dumped, redo forward again; a change that left
// the history as it was is no step.
void UndoTest::undoAndRedoWalkEverySeries() {
    QFETCH(quint32, seed);
    TempHistory h;
    fillMixed(h, 40);
    const QString importFile = writeImportFile(h.folder());
    std::mt19937 random(seed);
    QVector<TableRows> states{tableRows(h.store())};
    for (int i = 0; i < 16; ++i) {
        if (i == 8) {
            // Two steps back, then a new change: what could have been redone is gone.
            for (int k = 0; k < 2 && states.size() > 1; ++k) {
                QVERIFY(undoStep(h.store()).done);
                states.removeLast();
                QCOMPARE(tableRows(h.store()), states.last());
            }
        }
        const Change change = allChanges()[int(random() % allChanges().size())];
        const QString error = runChange(change, h.store(), importFile);
        QVERIFY2(error.isEmpty(),
                 qPrintable(QStringLiteral("%1: %2").arg(changeName(change), error)));
        const TableRows now = tableRows(h.store());
        if (now != states.last())
            states << now;
        QVERIFY2(stepCount(h.store()) == states.size() - 1, changeName(change));
        QVERIFY(redoStep(h.store()).nothing);
    }
    for (qsizetype k = states.size() - 1; k > 0; --k) {
        const UndoReport r = undoStep(h.store());
        QVERIFY2(r.done, qPrintable(r.error));
        QCOMPARE(tableRows(h.store()), states[k - 1]);
        QCOMPARE(r.draws, states[k - 1].size());
    }
    UndoReport r = undoStep(h.store());
    QVERIFY(r.nothing && r.failed() && r.message().contains(QStringLiteral("没有可以撤销")));
    for (qsizetype k = 1; k < states.size(); ++k) {
        r = redoStep(h.store());
        QVERIFY2(r.done, qPrintable(r.error));
        QCOMPARE(tableRows(h.store()), states[k]);
    }
    QVERIFY(redoStep(h.store()).nothing);
    QCOMPARE(tableRows(h.store()), states.last());
}

void UndoTest::copiesAreHistoryFiles_data() {
    QTest::addColumn<Change>("change");
    for (const Change c : copyingChanges())
        QTest::newRow(changeName(c)) << c;
}

// A change that removes or replaces draws keeps the history before it as a copy the import
// reads back, and its undo says which step it took back; a change that only adds keeps none.
void UndoTest::copiesAreHistoryFiles() {
    QFETCH(Change, change);
    TempHistory h;
    fillMixed(h, 60);
    const QString importFile = writeImportFile(h.folder());
    const TableRows before = tableRows(h.store());
    QVERIFY(runChange(Change::Typed, h.store(), importFile).isEmpty());
    QVERIFY(listHistoryCopies(h.folder()).isEmpty());
    const TableRows typed = tableRows(h.store());
    QVERIFY(runChange(change, h.store(), importFile).isEmpty());
    const QVector<HistoryCopy> copies = listHistoryCopies(h.folder());
    QCOMPARE(copies.size(), 1);
    const HistoryFileContents text = readHistoryFile(copies.first().undoPath);
    QVERIFY2(text.error.isEmpty() && text.problems.isEmpty(), qPrintable(text.error));
    QCOMPARE(text.draws.size(), typed.size());
    QCOMPARE(text.draws.last().issue, typed.last().first().toLongLong());

    const UndoReport undo = undoStep(h.store());
    QVERIFY2(undo.done, qPrintable(undo.error));
    QCOMPARE(tableRows(h.store()), typed);
    QVERIFY2(undo.message().startsWith(QStringLiteral("已撤销“")), qPrintable(undo.message()));
    QCOMPARE(undo.draws, 61);
    QVERIFY(undoStep(h.store()).done);
    QCOMPARE(tableRows(h.store()), before);
}

// The newest 30 steps stay undoable; older ones go with their copies. Files of the folder that
// are no step's copies stay, a copy of an earlier version among them.
void UndoTest::newestThirtyStepsAreKept() {
    TempHistory h;
    fillMixed(h, 40);
    QVERIFY(QDir().mkpath(copyFolder(h)));
    const QStringList others{QStringLiteral("模拟历史号码-示例.txt"),
                             QStringLiteral("替换前的历史号码-notes.txt"),
                             QStringLiteral("替换前的历史号码-20010101-000000.doc"),
                             QStringLiteral("替换前的历史号码-20000101-120000.txt")};
    for (const QString& name : others) {
        QFile f(QDir(copyFolder(h)).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("2001001 01 02 03 04 05 \r\n");
    }
    for (int i = 0; i < 35; ++i) {
        const MaintenanceReport r = eraseLastDraw(h.store());
        QVERIFY2(!r.failed(), qPrintable(r.error));
    }
    QCOMPARE(stepCount(h.store()), kStepsKept);
    QDir dir(copyFolder(h));
    for (const QString& name : others)
        QVERIFY2(dir.exists(name), qPrintable(name));
    QCOMPARE(dir.entryList(QDir::Files).size(), kStepsKept + others.size());
    for (int i = 0; i < kStepsKept; ++i)
        QVERIFY(undoStep(h.store()).done);
    QVERIFY(undoStep(h.store()).nothing);
    QCOMPARE(h.store().drawCount(), 35);
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
    for (int i = 0; i <= kStepsKept; ++i)
        QVERIFY(!eraseLastDraw(h.store()).failed());
    auto paths = [&h] {
        QStringList out;
        for (const HistoryCopy& c : listHistoryCopies(h.folder()))
            out << c.textPath;
        return out;
    };
    const QStringList full = paths();
    QCOMPARE(full.size(), kStepsKept);
    const TableRows before = tableRows(h.store());

    QSqlQuery q(h.store().database());
    for (const char* when : {"DELETE", "INSERT"})
        QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse%1 BEFORE %1 ON Lishi "
                                      "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                           .arg(when)));
    QVERIFY(!runChange(change, h.store(), importFile).isEmpty());
    QCOMPARE(paths(), full);
    QCOMPARE(stepCount(h.store()), kStepsKept);

    QVERIFY(q.exec("DROP TRIGGER refuseDELETE") && q.exec("DROP TRIGGER refuseINSERT"));
    const QString error = runChange(change, h.store(), importFile);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList after = paths();
    const bool copied = copyingChanges().contains(change);
    QCOMPARE(after.mid(copied ? 1 : 0), full.mid(0, kStepsKept - 1));
    QCOMPARE(stepCount(h.store()), kStepsKept);
    const UndoReport undo = undoStep(h.store());
    QVERIFY2(undo.done, qPrintable(undo.error));
    QCOMPARE(tableRows(h.store()), before);
}

void UndoTest::unwritableCopyStopsTheChange_data() {
    QTest::addColumn<Change>("change");
    for (const Change c : copyingChanges())
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

void UndoTest::killedChangeUndoOrRedoLeavesBeforeOrAfter_data() {
    QTest::addColumn<Change>("change");
    for (const Change c : allChanges())
        QTest::newRow(changeName(c)) << c;
}

// A child makes a change, then alternates its undo and its redo (every other round the change
// again, which drops the undone step) until it is killed at a random moment: the history is then
// as before or as after the change, never a mixture, its newest step says which, and every copy
// file in the folder is whole and holds one of the two.
void UndoTest::killedChangeUndoOrRedoLeavesBeforeOrAfter() {
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
                bool failed = false;
                if (now->cells != cellsBefore)
                    failed = undoStep(store).failed();
                else if (round % 2 == 1 || !redoStep(store).done)
                    failed = !runChange(change, store, importFile).isEmpty();
                if (failed)
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
        const auto steps = listSteps(store, &error);
        QVERIFY2(steps, qPrintable(error));
        QVERIFY(!steps->isEmpty() || now == rowsBefore);
        if (!steps->isEmpty())
            QCOMPARE(steps->first().undone, now == rowsBefore);
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
