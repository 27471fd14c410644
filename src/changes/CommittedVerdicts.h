#pragma once

#include "DerivedRowsMark.h"
#include "store/HistoryStore.h"

#include <QMap>
#include <QString>

#include <optional>

namespace quorvex {

// After a commit of this program, what the whole-file checks found before it that still holds
// for the file it left (CheckVerdicts): a search right after a typed draw then reads no more than
// one after a settled file. And the confirmation of the mark it left (DerivedRowsMark.h).

// What a change did, as far as the verdicts care.
struct CommittedChange {
    RowsLeft left = RowsLeft::Unknown;
    bool sameRows = false;    // every row as before (a compaction)
    std::optional<int> bases; // the writers' bases (DerivedRowsMark.h) of what they wrote
    qint64 rowsWritten = -1;  // WrittenWhole: the rows, where known
    qint64 rowsAppended = 0;  // Appended
    std::optional<std::optional<int>> mark; // the mark the commit left, with its bases
};

// Right after the commit that left the file's change counter at committed, and under a read lock,
// so that no other commit can come between: the verdicts kept before the change, as the change
// carries them over, become the file's. Nothing is kept where another commit came first.
void carryVerdicts(const HistoryStore& store, const QMap<QString, QString>& before,
                   quint32 committed, const CommittedChange& change);

// The same for a change whose own commit just moved the file on from the state mark was read at:
// nothing where no counter was read; the mark it left (leaveDerivedRowsMark) named with it.
void carryOverOwnCommit(const HistoryStore& store, const DerivedRowsMark& mark,
                        const QMap<QString, QString>& before, CommittedChange change,
                        const LeftMark& left);

} // namespace quorvex
