#pragma once

#include "draw/DrawRecord.h"
#include "image/LishiImage.h"
#include "store/HistoryStore.h"

#include <optional>

namespace quorvex {

// A mark kept in the history file (table DerivedMark) that every row of Lishi stands exactly as
// this program's writers derive it from its issue and numbers, under one choice of value bases.
// A change that removes or replaces draws then copies the history from its issues and numbers
// alone, instead of reading every cell.
//
// A mark belongs to one state of the file: it names SQLite's file change counter as the commit
// that wrote it left it. Every later commit, by this program or any other, moves the counter,
// so a mark that the next change did not carry forward is stale and ignored. A file in
// write-ahead mode, where a commit need not move the counter, keeps no mark. Since another
// program could write a mark, or set the counter back, along with an edit, the mark is believed
// only where a record kept outside the file says that this program's own commit left the file in
// exactly its present state (identity, size, times and counter).
struct DerivedRowsMark {
    std::optional<quint32> counter; // the file's change counter now; none where it is no key
    bool stored = false;            // the table holds a mark, stale or not
    bool holds = false;             // it belongs to the file as it is now
    std::optional<int> bases;       // a held mark's bases; none: no row was written since empty
};

// Inside a write transaction, before it writes anything.
DerivedRowsMark readDerivedRowsMark(const HistoryStore& store);

// The index of the bases (0..3) as the mark and the packed rows name them; none for bases the
// writers do not derive under.
std::optional<int> basesIndex(const ValueBases& bases);
inline ValueBases basesOfIndex(int index) {
    return {index & 1, index >> 1};
}

// What a change did to the rows, said before it commits.
enum class RowsLeft {
    Unknown,      // anything else: the mark goes
    WrittenWhole, // every row written by the writers under the bases
    Appended,     // rows appended by the writers under the bases, each from its own issue
    EndRemoved    // rows removed from the end, nothing written
};

// Inside the change's write transaction, last before the commit: the mark the change leaves, or
// none. A mark that cannot be written is only the cost of a full read next time. What it left is
// then confirmed outside the file for the state the commit leaves (CommittedVerdicts.h).
struct LeftMark {
    bool kept = false;
    std::optional<int> bases;
};
LeftMark leaveDerivedRowsMark(HistoryStore& store, const DerivedRowsMark& before, RowsLeft left,
                              const ValueBases& bases);
// The confirmation of a mark, kept as a verdict of the file (CheckVerdicts).
QString derivedRowsTopic();
QString derivedRowsVerdict(const std::optional<int>& bases);

// HistoryStore::CompactDb, carrying a held mark over it: the compaction must be the one commit
// between the reading before it and the one after, which the counter tells.
bool compactKeepingMark(HistoryStore& store, QString* error);

// Whether the image's rows are, cell for cell, what the writers append under the bases after the
// draw `last` (none: into an empty history) of a history the mark holds for.
bool appendsAsDerived(const LishiImage& rows, const std::optional<DrawNumbers>& last, int bases);

// The history a held mark speaks of, read from its issues and numbers: columns, rows, draws and
// the packed rows of its copy (no cells and no digest; contentHash() works it out). Nothing when
// it cannot be read so or its rows are not such as the writers store: the caller reads every
// cell then.
std::optional<LishiImage> readDerivedDigest(const HistoryStore& store, int bases);
// The same with every cell, worked out instead of read: exactly the cells stored, where the mark
// holds, since nothing but this program's own commit has written the file since.
std::optional<LishiImage> readDerivedImage(const HistoryStore& store, int bases);

} // namespace quorvex
