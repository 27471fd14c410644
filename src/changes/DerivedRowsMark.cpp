#include "DerivedRowsMark.h"

#include "CommittedVerdicts.h"
#include "draw/ZodiacTables.h"
#include "image/PredictedRows.h"
#include "store/CheckVerdicts.h"
#include "store/LishiTable.h"
#include "store/MarkTable.h"
#include "store/SqliteStatement.h"

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
    const auto rows = readStoredMarks(store);
    if (!rows)
        return mark;
    mark.stored = !rows->isEmpty();
    for (const StoredMark& row : *rows) {
        const bool basesKnown = !row.bases || (*row.bases >= 0 && *row.bases <= 3);
        mark.holds = mark.counter && row.counter == qint64(*mark.counter) && basesKnown &&
                     row.derivation == derivation();
        if (row.bases)
            mark.bases = int(*row.bases);
    }
    // Only one mark is ever written: anything else is no mark.
    if (rows->size() != 1)
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
            dropMark(store);
        return {};
    }
    // The commit moves the counter by one: the mark names the file as this change leaves it.
    StoredMark stored;
    stored.counter = quint32(*before.counter + 1);
    if (after)
        stored.bases = *after;
    stored.derivation = derivation();
    LeftMark leftMark;
    leftMark.kept = writeMark(store, stored);
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
    if (!store.CompactDb({}, error))
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
    auto read = readIssuesAndNumbers(store);
    if (!read)
        return std::nullopt;
    LishiImage& image = *read;
    image.rows = image.draws.size();
    image.packedRows = encodeDerivedRows(image.columns, image.draws, bases);
    image.derivedUnder = bases;
    return read;
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
