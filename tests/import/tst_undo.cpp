// The history of changes: every change of the stored draws is a step that undo takes back and
// redo makes again, exactly and in order; a change that removes or replaces draws keeps a copy
// first; a damaged or outdated step is refused; a kill leaves before or after.
#include "ChildKill.h"
#include "FollowOracle.h"
#include "import/HistoryMaintenance.h"
#include "import/HistoryUndo.h"
#include "import/TextImport.h"
#include "import/TypedDraw.h"
#include "import/UpdateApply.h"
#include "TestHistory.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QtTest>

#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;

namespace {

enum class Change {
    EraseLast,
    Clear,
    KeepTo,
    DropLast,
    Rebuild,
    Import,
    UpdateRetention,
    Typed,
    Update
};

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
    case Change::KeepTo: {
        const auto last = store.lastDraw();
        return keepToIssue(store, folder, last ? last->issue - 3 : 2001010, {}).error;
    }
    case Change::DropLast:
        return dropLastIssues(store, folder, 5, {}).error;
    case Change::Rebuild:
        return rebuildHistory(store, folder, {0, 1}).error;
    case Change::Import:
        return importHistoryFile(store, importFile, {}).error;
    case Change::Typed: {
        ZodiacYear zodiacYear;
        QString why;
        const auto last = store.lastDraw();
        storeTypedDraw(store, randomDraws(1, quint32(last ? last->issue : 1)).first(), std::nullopt,
                       std::nullopt, {}, zodiacYear, QDate(2026, 5, 1), &why);
        return why;
    }
    case Change::Update: {
        HistoryBounds bounds;
        QString why;
        if (!readHistoryBounds(store, &bounds, &why))
            return why;
        UpdatePlan plan;
        plan.storedFirst = bounds.first;
        plan.storedLast = bounds.last;
        plan.continues = bounds.last;
        QVector<ScannedDraw> draws;
        for (const Numbers& n : randomDraws(3, quint32(bounds.last.value_or(7))))
            draws.append({bounds.last.value_or(2026000) + 1 + draws.size(), n});
        ZodiacYear zodiacYear;
        applyUpdate(store, plan, draws, {}, zodiacYear, nullptr, &why);
        return why;
    }
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
            return {}; // not due: nothing changes
        applyUpdate(store, plan, draws, {}, zodiacYear, &cleared, &why);
        return why;
    }
    }
    return {};
}

QVector<Change> allChanges() {
    return {Change::EraseLast,       Change::Clear,   Change::KeepTo,
            Change::DropLast,        Change::Rebuild, Change::Import,
            Change::UpdateRetention, Change::Typed,   Change::Update};
}

const char* changeName(Change change) {
    static const char* const names[] = {
        "delete the last draw",      "clear",      "keep to an issue",
        "drop the last N",           "rebuild",    "import",
        "online update's retention", "typed draw", "online update"};
    return names[int(change)];
}

// The changes that remove or replace draws, and so keep a copy.
QVector<Change> copyingChanges() {
    return allChanges().mid(0, 7);
}

int stepCount(const HistoryStore& store) {
    QString why;
    const auto steps = listSteps(store, &why);
    if (!steps)
        qFatal("cannot read the steps: %s", qPrintable(why));
    return int(steps->size());
}

// Rewrites the newest step's copy with bytes of the test's choice, its record made to match, so
// that only the reading of the image itself can refuse it.
void replaceCopyRecorded(HistoryStore& store, const QByteArray& undoBytes, bool recordPlainSize) {
    QString why;
    const ChangeStep step = listSteps(store, &why)->first();
    QFile file(step.before->undoPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(undoBytes) < 0)
        qFatal("cannot rewrite the copy");
    file.close();
    QSqlQuery q(store.database());
    q.prepare("SELECT beforeCopy FROM Buzhou WHERE id = ?");
    q.addBindValue(step.id);
    if (!q.exec() || !q.next())
        qFatal("cannot read the step");
    QJsonObject o = QJsonDocument::fromJson(q.value(0).toString().toUtf8()).object();
    o["undoBytes"] = undoBytes.size();
    o["undoSum"] = QString::fromLatin1(
        QCryptographicHash::hash(undoBytes, QCryptographicHash::Blake2b_256).toHex());
    const int at = int(undoBytes.indexOf('\n')) + 1;
    if (recordPlainSize)
        o["plainBytes"] = qint64(quint8(undoBytes[at])) << 24 | quint8(undoBytes[at + 1]) << 16 |
                          quint8(undoBytes[at + 2]) << 8 | quint8(undoBytes[at + 3]);
    q.prepare("UPDATE Buzhou SET beforeCopy = ? WHERE id = ?");
    q.addBindValue(QString::fromUtf8(QJsonDocument(o).toJson()));
    q.addBindValue(step.id);
    if (!q.exec())
        qFatal("cannot rewrite the step");
}

QString copyFolder(const TempHistory& h) {
    return QDir(h.folder()).filePath(historyCopyFolderName());
}

} // namespace

Q_DECLARE_METATYPE(Change)

namespace {
enum class Damage {
    UndoMissing,
    TextMissing,
    UndoFolder,
    UndoFifo,
    UndoLink,
    UndoCut,
    UndoExtended,
    UndoAltered,
    TextAltered,
    RowsAfterEnd,
    RowsMissing,
    LargerThanRecorded,
    ReplacedChanged,
    AddedChanged,
    RedoCopyMissing,
    RedoAfterChange
};
} // namespace
Q_DECLARE_METATYPE(Damage)

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
    void damagedOrOutdatedStepIsRefused_data();
    void damagedOrOutdatedStepIsRefused();
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

// A change that removes or replaces draws keeps the history before it as a text file the import
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
    const HistoryFileContents text = readHistoryFile(copies.first().textPath);
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
    QCOMPARE(dir.entryList(QDir::Files).size(), 2 * kStepsKept + others.size());
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

void UndoTest::damagedOrOutdatedStepIsRefused_data() {
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("reason");
    const std::pair<Damage, const char*> rows[] = {
        {Damage::UndoMissing, "不见了"},         {Damage::TextMissing, "不见了"},
        {Damage::UndoFolder, "不是普通文件"},    {Damage::UndoFifo, "不是普通文件"},
        {Damage::UndoLink, "不是普通文件"},      {Damage::UndoCut, "被截短了"},
        {Damage::UndoExtended, "被加长了"},      {Damage::UndoAltered, "内容被改动过"},
        {Damage::TextAltered, "内容被改动过"},   {Damage::RowsAfterEnd, "内容不完整"},
        {Damage::RowsMissing, "内容不完整"},     {Damage::LargerThanRecorded, "大小不对"},
        {Damage::ReplacedChanged, "另一个程序"}, {Damage::AddedChanged, "另一个程序"},
        {Damage::RedoCopyMissing, "不见了"},     {Damage::RedoAfterChange, "另一个程序"}};
    for (const auto& [damage, reason] : rows)
        QTest::newRow(reason + QByteArray::number(int(damage))) << damage << QString(reason);
}

// Two steps, the newest damaged or overtaken: undo (or redo) refuses it with the reason, changes
// nothing, and takes no older step instead.
void UndoTest::damagedOrOutdatedStepIsRefused() {
    QFETCH(Damage, damage);
    QFETCH(QString, reason);
    TempHistory h;
    fillMixed(h, 10);
    QVERIFY(!eraseLastDraw(h.store()).failed());
    if (damage == Damage::AddedChanged)
        QVERIFY(runChange(Change::Typed, h.store(), {}).isEmpty());
    else
        QVERIFY(!eraseLastDraw(h.store()).failed());
    const bool redo = damage == Damage::RedoCopyMissing || damage == Damage::RedoAfterChange;
    if (redo)
        QVERIFY(undoStep(h.store()).done);
    QString why;
    const ChangeStep step = listSteps(h.store(), &why)->first();
    const QString undoPath =
        redo ? step.after->undoPath : step.before.value_or(HistoryCopy()).undoPath;
    const QString textPath = step.before.value_or(HistoryCopy()).textPath;
    QSqlQuery q(h.store().database());
    auto flipByte = [](const QString& path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
        QVERIFY(f.seek(0) && f.write(bytes) == bytes.size());
    };
    auto image = [&] { return readHistoryCopy(*step.before, &why)->image; };
    switch (damage) {
    case Damage::UndoMissing:
    case Damage::RedoCopyMissing:
        QVERIFY(QFile::remove(undoPath));
        break;
    case Damage::TextMissing:
        QVERIFY(QFile::remove(textPath));
        break;
    case Damage::UndoFolder:
        QVERIFY(QFile::remove(undoPath) && QDir().mkdir(undoPath));
        break;
    case Damage::UndoFifo:
        QVERIFY(QFile::remove(undoPath) && ::mkfifo(QFile::encodeName(undoPath), 0600) == 0);
        break;
    case Damage::UndoLink:
        QVERIFY(QFile::rename(undoPath, undoPath + ".real") &&
                QFile::link(undoPath + ".real", undoPath));
        break;
    case Damage::UndoCut:
    case Damage::UndoExtended: {
        QFile f(undoPath);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(damage == Damage::UndoCut ? f.size() / 2 : f.size() + 3));
        break;
    }
    case Damage::UndoAltered:
        flipByte(undoPath);
        break;
    case Damage::TextAltered:
        flipByte(textPath);
        break;
    case Damage::RowsAfterEnd:
    case Damage::RowsMissing: {
        LishiImage i = image();
        if (damage == Damage::RowsAfterEnd)
            i.cells.append('\0');
        else
            ++i.rows;
        replaceCopyRecorded(h.store(), i.toBytes(step.taken, step.name), true);
        break;
    }
    case Damage::LargerThanRecorded: {
        LishiImage i = image();
        i.cells.append(i.cells);
        i.rows *= 2;
        replaceCopyRecorded(h.store(), i.toBytes(step.taken, step.name), false);
        break;
    }
    case Damage::ReplacedChanged:
    case Damage::RedoAfterChange:
        QVERIFY(q.exec("DELETE FROM Lishi WHERE SQQH = 2001001"));
        break;
    case Damage::AddedChanged:
        QVERIFY(q.exec("UPDATE Lishi SET bolOk = 1 WHERE SQQH = (SELECT MAX(SQQH) FROM Lishi)"));
        break;
    }
    auto everything = [&] {
        QStringList out;
        const auto steps = listSteps(h.store(), &why);
        for (const ChangeStep& s : *steps)
            out << QString::number(s.undone);
        return out + QDir(copyFolder(h))
                         .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    };
    const TableRows before = tableRows(h.store());
    const QStringList state = everything();

    const UndoReport r = redo ? redoStep(h.store()) : undoStep(h.store());
    QVERIFY(r.failed() && !r.nothing && !r.done);
    QVERIFY2(r.message().contains(reason), qPrintable(r.message()));
    QVERIFY(r.message().contains(QStringLiteral("未作改动")));
    if (!reason.contains(QStringLiteral("另一个程序")))
        QVERIFY2(r.message().contains(QFileInfo(undoPath).completeBaseName()),
                 qPrintable(r.message()));
    QCOMPARE(tableRows(h.store()), before);
    QCOMPARE(everything(), state);
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
