// A damaged or overtaken step of the history of changes: undo and redo refuse it with the
// reason, change nothing, and take no older step instead.
#include "changes/HistoryUndo.h"
#include "ChangeScenarios.h"
#include "maintenance/HistoryMaintenance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QtTest>

#include <sys/stat.h>

using namespace quorvex;
using namespace quorvex::test;

namespace {

void replaceCopyRecorded(HistoryStore& store, const QByteArray& undoBytes, bool recordPlainSize) {
    QString why;
    const ChangeStep step = listSteps(store, &why)->first();
    QFile file(step.replaced()->beforeCopy->undoPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(undoBytes) < 0)
        qFatal("cannot rewrite the copy");
    file.close();
    QSqlQuery q(store.database());
    q.prepare("SELECT beforeCopy FROM Steps WHERE id = ?");
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
    q.prepare("UPDATE Steps SET beforeCopy = ? WHERE id = ?");
    q.addBindValue(QString::fromUtf8(QJsonDocument(o).toJson()));
    q.addBindValue(step.id);
    if (!q.exec())
        qFatal("cannot rewrite the step");
}

enum class Damage {
    UndoMissing,
    UndoFolder,
    UndoFifo,
    UndoLink,
    UndoCut,
    UndoExtended,
    UndoAltered,
    RowsAfterEnd,
    RowsMissing,
    LargerThanRecorded,
    ReplacedChanged,
    RebuiltChanged,
    AddedChanged,
    RedoCopyMissing,
    RedoAfterChange
};

} // namespace

Q_DECLARE_METATYPE(Damage)

class UndoDamageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void damagedOrOutdatedStepIsRefused_data();
    void damagedOrOutdatedStepIsRefused();
    void outsideEditIsRefused_data();
    void outsideEditIsRefused();
    void copiesOfKilledChangesGoAtTheNextChange();
};

void UndoDamageTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void UndoDamageTest::damagedOrOutdatedStepIsRefused_data() {
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("reason");
    const std::pair<Damage, const char*> rows[] = {
        {Damage::UndoMissing, "不见了"},         {Damage::UndoFolder, "不是普通文件"},
        {Damage::UndoFifo, "不是普通文件"},      {Damage::UndoLink, "不是普通文件"},
        {Damage::UndoCut, "被截短了"},           {Damage::UndoExtended, "被加长了"},
        {Damage::UndoAltered, "内容被改动过"},   {Damage::RowsAfterEnd, "内容不完整"},
        {Damage::RowsMissing, "内容不完整"},     {Damage::LargerThanRecorded, "大小不对"},
        {Damage::ReplacedChanged, "另一个程序"}, {Damage::RebuiltChanged, "另一个程序"},
        {Damage::AddedChanged, "另一个程序"},    {Damage::RedoCopyMissing, "不见了"},
        {Damage::RedoAfterChange, "另一个程序"}};
    for (const auto& [damage, reason] : rows)
        QTest::newRow(reason + QByteArray::number(int(damage))) << damage << QString(reason);
}

// Two steps, the newest damaged or overtaken: undo (or redo) refuses it with the reason, changes
// nothing, and takes no older step instead.
void UndoDamageTest::damagedOrOutdatedStepIsRefused() {
    QFETCH(Damage, damage);
    QFETCH(QString, reason);
    TempHistory h;
    fillMixed(h, 10);
    QVERIFY(!eraseLastDraw(h.store()).failed());
    if (damage == Damage::AddedChanged) {
        QVERIFY(runChange(Change::Typed, h.store(), {}).isEmpty());
    } else if (damage == Damage::RebuiltChanged) {
        // Written whole, then rebuilt under other bases: the step names the history after by them.
        QVERIFY(runChange(Change::Import, h.store(), writeImportFile(h.folder())).isEmpty());
        QVERIFY(runChange(Change::Rebuild, h.store(), {}).isEmpty());
    } else {
        QVERIFY(!eraseLastDraw(h.store()).failed());
    }
    const bool redo = damage == Damage::RedoCopyMissing || damage == Damage::RedoAfterChange;
    if (redo)
        QVERIFY(undoStep(h.store()).done);
    QString why;
    const ChangeStep step = listSteps(h.store(), &why)->first();
    // An appending step keeps no copy.
    const ReplacedHistory* replaced = step.replaced();
    const QString undoPath = !replaced ? QString()
                             : redo    ? replaced->afterCopy->undoPath
                                       : replaced->beforeCopy.value_or(HistoryCopy()).undoPath;
    QSqlQuery q(h.store().database());
    auto flipByte = [](const QString& path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
        QVERIFY(f.seek(0) && f.write(bytes) == bytes.size());
    };
    auto image = [&] { return readHistoryCopy(*replaced->beforeCopy, &why)->image; };
    switch (damage) {
    case Damage::UndoMissing:
    case Damage::RedoCopyMissing:
        QVERIFY(QFile::remove(undoPath));
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
    case Damage::RebuiltChanged:
        QVERIFY(q.exec("UPDATE Lishi SET L2B = 99 WHERE SQQH = 2010005"));
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

void UndoDamageTest::outsideEditIsRefused_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("edit"); // SQL; %1 is an issue the step left standing
    QTest::addColumn<bool>("redo");    // the edit falls between an undo and its redo
    const QStringList cells{"UPDATE Lishi SET L2B = L2B + 1 WHERE SQQH = %1",
                            "UPDATE Lishi SET txtHisLstSx = 'x' WHERE SQQH = %1",
                            "UPDATE Lishi SET QQH = 7 WHERE SQQH = %1",
                            "UPDATE Lishi SET strQQH = 'edited' WHERE SQQH = %1",
                            "UPDATE Lishi SET bolOk = 1 WHERE SQQH = %1",
                            "UPDATE Lishi SET L4H = NULL WHERE SQQH = %1",
                            "UPDATE Lishi SET SQQH = SQQH + 500 WHERE SQQH = %1"};
    for (const Change change : {Change::Import, Change::EraseLast, Change::DropLast})
        for (const bool redo : {false, true})
            for (qsizetype e = 0; e < cells.size(); ++e)
                QTest::addRow("%s, %s %lld", changeName(change), redo ? "redo" : "undo",
                              qlonglong(e))
                    << change << cells[e] << redo;
    // An appending step: the rows it appended after keep their issues and numbers, and no
    // other draw takes the place of those it appended.
    for (const bool redo : {false, true})
        QTest::addRow("typed, %s, an earlier issue renumbered", redo ? "redo" : "undo")
            << Change::Typed << QString("UPDATE Lishi SET SQQH = SQQH - 900000 WHERE SQQH = %1")
            << redo;
    QTest::newRow("typed, redo, a later issue stored by another program")
        << Change::Typed
        << QString("INSERT INTO Lishi (SQQH, L1A, L2A, L3A, L4A, L5A) "
                   "SELECT MAX(SQQH) + 7 + 0 * %1, 1, 2, 3, 4, 5 FROM Lishi")
        << true;
}

// Another program's edit of any cell after a step (or after its undo) is never written over:
// undo (or redo) refuses and changes nothing.
void UndoDamageTest::outsideEditIsRefused() {
    QFETCH(Change, change);
    QFETCH(QString, edit);
    QFETCH(bool, redo);
    TempHistory h;
    fillMixed(h, 12);
    const QString file = writeImportFile(h.folder());
    QVERIFY(runChange(Change::Import, h.store(), file).isEmpty());
    if (change != Change::Import)
        QVERIFY(runChange(change, h.store(), file).isEmpty());
    if (redo)
        QVERIFY(undoStep(h.store()).done);
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec("SELECT MIN(SQQH) FROM Lishi") && q.next());
    const qint64 edited = q.value(0).toLongLong();
    QVERIFY(q.exec(edit.arg(edited)) && q.numRowsAffected() == 1);
    const TableRows before = tableRows(h.store());
    const int steps = stepCount(h.store());
    const UndoReport r = redo ? redoStep(h.store()) : undoStep(h.store());
    QVERIFY2(!r.done && r.message().contains(QStringLiteral("另一个程序")),
             qPrintable(r.message()));
    // An edited cell is named by its issue.
    if (change != Change::Typed && !edit.startsWith("UPDATE Lishi SET SQQH"))
        QVERIFY2(r.message().contains(QStringLiteral("第 %1 期起不同").arg(edited)),
                 qPrintable(r.message()));
    QCOMPARE(tableRows(h.store()), before);
    QCOMPARE(stepCount(h.store()), steps);
}

// A change killed after its copy was written leaves a copy no step names (or a part of one); the
// next change removes them, and nothing else of the folder.
void UndoDamageTest::copiesOfKilledChangesGoAtTheNextChange() {
    TempHistory h;
    fillMixed(h, 12);
    QVERIFY(!eraseLastDraw(h.store()).failed());
    const QDir copies(copyFolder(h));
    const QStringList recorded = copies.entryList({"*.undo"});
    QCOMPARE(recorded.size(), 1);
    QVERIFY(QFile::copy(copies.filePath(recorded.first()),
                        copies.filePath("替换前的历史号码-20260101-120000-读入.undo")));
    for (const char* name :
         {"替换前的历史号码-20260101-120001-读入.undo.0badc0de.tmp", "我的历史号码.txt"}) {
        QFile f(copies.filePath(QString::fromUtf8(name)));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
    }
    QVERIFY(runChange(Change::Typed, h.store(), {}).isEmpty());
    QStringList expected{recorded.first(), QStringLiteral("我的历史号码.txt")};
    expected.sort();
    QCOMPARE(copies.entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    QVERIFY(undoStep(h.store()).done && undoStep(h.store()).done);
}

QTEST_GUILESS_MAIN(UndoDamageTest)
#include "tst_undodamage.moc"
