// The mark that a history stands as the writers derive it: kept only while it is true, and where
// it holds, the history read from its issues and numbers is the history read cell by cell.
#include "changes/ChangeSteps.h"
#include "changes/DerivedRowsMark.h"
#include "changes/HistoryUndo.h"
#include "ChangeScenarios.h"
#include "FollowOracle.h"
#include "import/TypedDraw.h"
#include "store/CheckVerdicts.h"
#include "store/LishiTable.h"
#include "store/TableNames.h"

#include <QFile>
#include <QSqlQuery>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

namespace {

// Another program's edit of a derived cell, made to look as if the mark still held: the mark
// names the counter the edit's commit leaves, or the file's counter is written back as it was.
void forge(TempHistory& h, bool intoTheMark) {
    const QString path = h.store().databasePath();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(24));
    const QByteArray counter = file.read(4);
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec("BEGIN IMMEDIATE"));
    QVERIFY(q.exec("UPDATE Lishi SET L2B = 99 WHERE SQQH = 2010005"));
    if (intoTheMark)
        QVERIFY(q.exec("UPDATE DerivedMark SET counter = counter + 1"));
    QVERIFY(q.exec("COMMIT"));
    if (!intoTheMark)
        QVERIFY(file.seek(24) && file.write(counter) == 4 && file.flush());
}

// The file as the earlier versions left it: the same tables under their pinyin names, the mark
// moved on and confirmed as that version's own commit did. Read-only, it is read as it stands;
// opened to write, it takes today's names in one commit that keeps every step and the mark.
void withEarlierTableNames(TempHistory& h, bool alsoTodays) {
    QString why;
    const auto steps = readSteps(h.store(), &why);
    QVERIFY2(steps, qPrintable(why));
    const QMap<QString, QString> verdicts = CheckVerdicts(h.store()).all();
    QSqlQuery q(h.store().database());
    QVERIFY(q.exec("BEGIN IMMEDIATE"));
    QVERIFY(q.exec("ALTER TABLE Steps RENAME TO Buzhou"));
    if (existingTable(h.store(), {"DerivedMark"}, &why) == QStringLiteral("DerivedMark")) {
        QVERIFY(q.exec("ALTER TABLE DerivedMark RENAME TO Paisheng"));
        QVERIFY(q.exec("UPDATE Paisheng SET counter = counter + 1"));
    }
    // An earlier version writing the file after this one renamed it: both names stand.
    if (alsoTodays)
        QVERIFY(q.exec("CREATE TABLE Steps AS SELECT * FROM Buzhou WHERE 0"));
    QVERIFY(q.exec("COMMIT"));
    CheckVerdicts(h.store()).keepOnly(verdicts);
    h.store().close();

    // Where both names stand the steps are those of today's name: here none.
    const qsizetype stepsKept = alsoTodays ? 0 : steps->size();
    HistoryStore reader;
    QVERIFY2(reader.open(h.folder(), &why, HistoryAccess::ReadOnly), qPrintable(why));
    QCOMPARE(readSteps(reader, &why)->size(), stepsKept);
    reader.close();

    // Opened to write, it renames what it can and leaves an earlier table beside today's.
    QVERIFY2(h.store().open(h.folder(), &why), qPrintable(why));
    QCOMPARE(existingTable(h.store(), {"Buzhou", "Paisheng"}, &why).value_or("?"),
             alsoTodays ? QStringLiteral("Buzhou") : QString());
    const auto after = readSteps(h.store(), &why);
    QVERIFY2(after, qPrintable(why));
    QCOMPARE(after->size(), stepsKept);
    if (alsoTodays)
        return;
    for (qsizetype i = 0; i < steps->size(); ++i)
        QCOMPARE((*after)[i].name, (*steps)[i].name);
}

} // namespace

class DerivedRowsMarkTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void markHoldsOnlyWhileTrue_data();
    void markHoldsOnlyWhileTrue();
    void writersStoreWhatTheMarkNames();
    void forgedMarkNeverHidesAnEdit_data();
    void forgedMarkNeverHidesAnEdit();
};

void DerivedRowsMarkTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void DerivedRowsMarkTest::markHoldsOnlyWhileTrue_data() {
    QTest::addColumn<bool>("mixed");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("holds");
    const auto row = [](const char* name, bool mixed, const QStringList& steps, bool holds) {
        QTest::newRow(name) << mixed << steps << holds;
    };
    row("imported", false, {"import"}, true);
    row("mixed history imported over", true, {"import"}, true);
    row("then typed and updated", false, {"import", "typed", "update"}, true);
    row("rebuilt under other bases", false, {"import", "rebuild"}, true);
    row("then typed under the first bases", false, {"import", "rebuild", "typed"}, false);
    row("typed with another issue's zodiac", false, {"import", "typed elsewhere"}, false);
    row("cell edited by another program", false, {"import", "edited"}, false);
    // What another program can write into the file alone cannot make the mark hold.
    row("an edit that names the next counter in the mark", false, {"import", "forged"}, false);
    row("an edit with the file's counter put back", false, {"import", "counter put back"}, false);
    row("a file of the earlier table names opened", false, {"import", "typed", "earlier names"},
        true);
    row("then undone and redone", false, {"import", "typed", "earlier names", "undo", "redo"},
        true);
    row("earlier and today's names both standing", false,
        {"import", "typed", "earlier names and today's"}, true);
    row("earlier names of a file another program edited", false,
        {"import", "edited", "earlier names"}, false);
    row("a typed draw undone", false, {"import", "typed", "undo"}, true);
    row("a typed draw undone and redone", false, {"import", "typed", "undo", "redo"}, true);
    row("a draw of another zodiac redone onto a marked history", false,
        {"import", "typed elsewhere", "undo", "undo", "redo", "redo"}, false);
    row("a rebuild undone", false, {"import", "rebuild", "undo"}, true);
    row("a rebuild undone and redone", false, {"import", "rebuild", "undo", "redo"}, true);
    row("an import over a mixed history undone", true, {"import", "undo"}, false);
    row("an import over an edited cell undone", false, {"import", "edited", "import", "undo"},
        false);
    row("last draw erased, file compacted", false, {"import", "erase"}, true);
    row("compacted after another program's edit", false, {"import", "edited", "compact"}, false);
    row("never written whole", true, {"typed"}, false);
}

void DerivedRowsMarkTest::markHoldsOnlyWhileTrue() {
    QFETCH(bool, mixed);
    QFETCH(QStringList, steps);
    QFETCH(bool, holds);
    TempHistory h;
    if (mixed)
        fillMixed(h, 40);
    const QString importFile = writeImportFile(h.folder());
    for (const QString& step : steps) {
        QString why;
        if (step == QLatin1String("import")) {
            why = runChange(Change::Import, h.store(), importFile);
        } else if (step == QLatin1String("typed")) {
            why = runChange(Change::Typed, h.store(), importFile);
        } else if (step == QLatin1String("update")) {
            why = runChange(Change::Update, h.store(), importFile);
        } else if (step == QLatin1String("rebuild")) {
            why = runChange(Change::Rebuild, h.store(), importFile);
        } else if (step == QLatin1String("typed elsewhere")) {
            ZodiacYear zodiacYear;
            storeTypedDraw(h.store(), {1, 2, 3, 4, 5}, std::nullopt, 1990100, {}, zodiacYear,
                           QDate(2026, 5, 1), &why);
        } else if (step == QLatin1String("edited")) {
            QSqlQuery q(h.store().database());
            if (!q.exec(QStringLiteral("UPDATE Lishi SET L2B = 99 WHERE SQQH = 2010005")))
                why = q.lastError().text();
        } else if (step == QLatin1String("forged") || step == QLatin1String("counter put back")) {
            forge(h, step == QLatin1String("forged"));
        } else if (step.startsWith(QLatin1String("earlier names"))) {
            withEarlierTableNames(h, step.endsWith(QLatin1String("and today's")));
        } else if (step == QLatin1String("erase")) {
            why = runChange(Change::EraseLast, h.store(), importFile);
        } else if (step == QLatin1String("compact")) {
            compactKeepingMark(h.store(), &why);
        } else if (step == QLatin1String("undo")) {
            why = undoStep(h.store()).error;
        } else if (step == QLatin1String("redo")) {
            why = redoStep(h.store()).error;
        }
        QVERIFY2(why.isEmpty(), qPrintable(step + QStringLiteral(": ") + why));
    }

    HistoryStore::Transaction t(h.store());
    QVERIFY(t.begun());
    const DerivedRowsMark mark = readDerivedRowsMark(h.store());
    QCOMPARE(mark.holds, holds);
    if (!holds)
        return;
    const auto derived = readDerivedDigest(h.store(), *mark.bases);
    QVERIFY(derived);
    QString why;
    const auto read = readLishiDigest(h.store(), &why);
    QVERIFY2(read, qPrintable(why));
    QCOMPARE(derived->columns, read->columns);
    QCOMPARE(derived->draws, read->draws);
    QCOMPARE(derived->contentHash(), read->contentHash());
    QCOMPARE(LishiImage::derivedHash(read->columns, read->draws, *mark.bases), read->contentHash());
}

// What the writers store for a fixed history, around the new years of 1954, 2027 and 2030 and
// under three pairs of bases. A mark written by another version of the derivation must not hold:
// when this changes, raise the derivation DerivedRowsMark.cpp names and record the new hash.
void DerivedRowsMarkTest::writersStoreWhatTheMarkNames() {
    TempHistory h;
    const auto draws = [](int offset) {
        QVector<Numbers> out;
        for (int i = offset; i < offset + 60; ++i) {
            Numbers n;
            for (int k = 0; k < kPositions; ++k)
                n[std::size_t(k)] = (i * 4 + k * 3) % 15 + 1;
            out.append(n);
        }
        return out;
    };
    h.appendMany(1954010, draws(0), {1, 1});
    h.appendMany(2027010, draws(60), {0, 1});
    h.appendMany(2030010, draws(120), {1, 0});
    QString why;
    const auto image = readLishiImage(h.store(), &why);
    QVERIFY2(image, qPrintable(why));
    QCOMPARE(image->contentHash().toHex(),
             QByteArray("42d13af8e611d99a45636672b9282d30ebb443b5505b9a2c9679515632121eba"));
}

void DerivedRowsMarkTest::forgedMarkNeverHidesAnEdit_data() {
    QTest::addColumn<bool>("intoTheMark");
    QTest::newRow("the next counter written into the mark") << true;
    QTest::newRow("the file's counter put back") << false;
}

// An import over a history whose mark another program forged keeps the edited cell in its copy:
// its undo brings the edit back.
void DerivedRowsMarkTest::forgedMarkNeverHidesAnEdit() {
    QFETCH(bool, intoTheMark);
    TempHistory h;
    const QString importFile = writeImportFile(h.folder());
    QVERIFY(runChange(Change::Import, h.store(), importFile).isEmpty());
    forge(h, intoTheMark);
    const TableRows edited = tableRows(h.store());
    // A rebuild under other bases replaces every derived cell, the edited one too.
    QVERIFY(runChange(Change::Rebuild, h.store(), importFile).isEmpty());
    QVERIFY(tableRows(h.store()) != edited);
    const UndoReport undone = undoStep(h.store());
    QVERIFY2(undone.done, qPrintable(undone.error));
    QCOMPARE(tableRows(h.store()), edited);
}

QTEST_GUILESS_MAIN(DerivedRowsMarkTest)
#include "tst_derivedrowsmark.moc"
