#include "DerivedRowsMark.h"

#include "CheckVerdicts.h"
#include "CommittedVerdicts.h"
#include "PredictedRows.h"
#include "SqliteStatement.h"
#include "ZodiacTables.h"

#include <sqlite3.h>

namespace quorvex {

namespace {

// What the writers' rows depend on besides issue and numbers: this program's derivation, raised
// whenever what the writers store changes (attributes, cut-offs, the cells they fill), and the
// ICU that reckons the cut-offs outside the published calendar. A mark written under another
// holds nothing.
QString derivation() {
    return QStringLiteral("1 ICU %1").arg(cutoffReckonerVersion());
}

bool hasMarkTable(const HistoryStore& store) {
    SqliteStatement q(store);
    return q.prepare(QStringLiteral(
               "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Paisheng'")) &&
           q.next();
}

bool run(HistoryStore& store, const QString& sql) {
    SqliteStatement q(store);
    return q.prepare(sql) && q.exec();
}

} // namespace

std::optional<int> basesIndex(const ValueBases& bases) {
    const auto bit = [](int v) { return v == 0 || v == 1; };
    if (!bit(bases.sxIni) || !bit(bases.dsIni))
        return std::nullopt;
    return bases.sxIni | bases.dsIni << 1;
}

DerivedRowsMark readDerivedRowsMark(const HistoryStore& store) {
    DerivedRowsMark mark;
    mark.counter = fileChangeCounter(store);
    if (!hasMarkTable(store))
        return mark;
    SqliteStatement q(store);
    if (!q.prepare(QStringLiteral("SELECT counter, bases, derivation FROM Paisheng")))
        return mark;
    int rows = 0;
    while (q.next()) {
        mark.stored = true;
        ++rows;
        const bool basesKnown = q.isNull(1) || (q.integer(1) >= 0 && q.integer(1) <= 3);
        mark.holds = mark.counter && q.integer(0) == qint64(*mark.counter) && basesKnown &&
                     q.text(2) == derivation();
        if (!q.isNull(1))
            mark.bases = int(q.integer(1));
    }
    // Only one mark is ever written: anything else is no mark.
    if (rows != 1 || q.lastError().isValid())
        mark.holds = false;
    // And it is believed only where this program's own commit left the file so: a record kept
    // outside the file, for its exact state, which nothing written into the file can forge.
    if (mark.holds)
        mark.holds =
            CheckVerdicts(store).recall(derivedRowsTopic()) == derivedRowsVerdict(mark.bases);
    return mark;
}

LeftMark leaveDerivedRowsMark(HistoryStore& store, const DerivedRowsMark& before, RowsLeft left,
                              const ValueBases& bases) {
    const auto index = basesIndex(bases);
    bool keep = false;
    std::optional<int> after;
    switch (left) {
    case RowsLeft::WrittenWhole:
        keep = index.has_value();
        after = index;
        break;
    case RowsLeft::Appended:
        keep = before.holds && index && (!before.bases || before.bases == index);
        after = index;
        break;
    case RowsLeft::EndRemoved:
        keep = before.holds;
        after = before.bases;
        break;
    case RowsLeft::Unknown:
        break;
    }
    // A statement that fails leaves no false mark: the one row naming the counter this commit
    // leaves is the one inserted last, and anything else the table holds then is no mark.
    if (!keep || !before.counter) {
        if (before.stored)
            run(store, QStringLiteral("DELETE FROM Paisheng"));
        return {};
    }
    // The commit moves the counter by one: the mark names the file as this change leaves it.
    const quint32 counter = *before.counter + 1;
    LeftMark leftMark;
    leftMark.kept =
        run(store, QStringLiteral("CREATE TABLE IF NOT EXISTS Paisheng (counter INTEGER NOT NULL, "
                                  "bases INTEGER, derivation TEXT NOT NULL)")) &&
        run(store, QStringLiteral("DELETE FROM Paisheng")) &&
        run(store,
            QStringLiteral("INSERT INTO Paisheng (counter, bases, derivation) "
                           "VALUES (%1, %2, '%3')")
                .arg(counter)
                .arg(after ? QString::number(*after) : QStringLiteral("NULL"), derivation()));
    leftMark.bases = after;
    return leftMark;
}

QString derivedRowsTopic() {
    return QStringLiteral("rows1");
}

QString derivedRowsVerdict(const std::optional<int>& bases) {
    return QStringLiteral("derived %1").arg(bases ? QString::number(*bases) : QStringLiteral("-"));
}

bool compactKeepingMark(HistoryStore& store, QString* error) {
    DerivedRowsMark before;
    QMap<QString, QString> verdicts;
    {
        // Read under the write lock and rolled back: nothing is written.
        HistoryStore::Transaction t(store);
        if (t.begun()) {
            before = readDerivedRowsMark(store);
            verdicts = CheckVerdicts(store).all();
        }
    }
    if (!store.CompactDb(error))
        return false;
    HistoryStore::Transaction t(store);
    if (!t.begun() || !before.counter)
        return true;
    const auto counter = fileChangeCounter(store);
    // The compaction must be the one commit since the reading before it.
    if (!counter || *counter != *before.counter + 1)
        return true;
    CommittedChange same;
    same.sameRows = true;
    quint32 committed = *counter;
    if (before.holds) {
        before.counter = counter;
        const LeftMark left = leaveDerivedRowsMark(store, before, RowsLeft::EndRemoved, {});
        // Not kept is only the cost of a full read next time.
        QString ignored;
        if (!t.commit(&ignored))
            return true;
        committed = *counter + 1;
        if (left.kept)
            same.mark = left.bases;
    } else {
        t.rollback();
    }
    carryVerdicts(store, verdicts, committed, same);
    return true;
}

std::optional<LishiImage> readDerivedDigest(const HistoryStore& store, int bases) {
    LishiImage image;
    SqliteStatement head(store);
    if (!head.prepare(QStringLiteral("SELECT * FROM Lishi WHERE 0")))
        return std::nullopt;
    for (int c = 0; c < head.columnCount(); ++c)
        image.columns << head.columnName(c);
    QStringList packed;
    for (int i = 1; i <= kPositions; ++i)
        packed << QStringLiteral("(%1 << %2)").arg(attributeColumn(i, Number)).arg(8 * (i - 1));
    SqliteStatement q(store);
    if (!q.prepare(QStringLiteral("SELECT SQQH, %1 FROM Lishi ORDER BY SQQH")
                       .arg(packed.join(QLatin1Char('|')))))
        return std::nullopt;
    while (q.next()) {
        DrawNumbers& d = image.draws.emplaceBack();
        d.issue = q.integer(0);
        // A row the writers wrote has an issue they store (packed rows take the zodiac of issue
        // 0 for any other) and five numbers of 1..15.
        const quint64 numbers = quint64(q.integer(1));
        if (d.issue < 0 || d.issue >= 10'000'000'000LL || numbers >> 8 * kPositions != 0)
            return std::nullopt;
        for (int i = 0; i < kPositions; ++i) {
            d.numbers[std::size_t(i)] = int(numbers >> 8 * i & 0xff);
            if (d.numbers[std::size_t(i)] < 1 || d.numbers[std::size_t(i)] > 15)
                return std::nullopt;
        }
    }
    if (q.lastError().isValid())
        return std::nullopt;
    image.rows = image.draws.size();
    image.packedRows = encodeDerivedRows(image.columns, image.draws, bases);
    image.derivedUnder = bases;
    return image;
}

bool appendsAsDerived(const LishiImage& rows, const std::optional<DrawNumbers>& last, int bases) {
    QVector<DrawNumbers> draws;
    if (last)
        draws << *last;
    draws += rows.draws;
    QByteArray cells;
    qsizetype row = 0;
    // The draw before is worked out too: the texts of the first appended row come from it.
    deriveRowCells(rows.columns, draws, bases, [&](QByteArrayView cellsOfRow) {
        if (row++ > 0 || !last)
            cells.append(cellsOfRow);
    });
    return cells == rows.cells;
}

std::optional<LishiImage> readDerivedImage(const HistoryStore& store, int bases) {
    auto image = readDerivedDigest(store, bases);
    if (image)
        deriveRowCells(image->columns, image->draws, bases,
                       [&image](QByteArrayView row) { image->cells.append(row); });
    return image;
}

} // namespace quorvex
