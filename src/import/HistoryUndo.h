#pragma once

#include "HistoryCopies.h"

#include <QString>

#include <optional>

namespace quorvex {

// What an undo did.
struct UndoReport {
    bool restored = false;
    QString error;       // why nothing changed
    QDateTime copyTaken; // when the restored copy was taken
    QString copyReason;  // what it was taken before
    int draws = 0;       // draws in the history afterwards
    std::optional<qint64> lastIssue;
    QString restoredFrom; // the copy put back
    QString savedCopy;    // the copy of the history it replaced

    bool failed() const { return !error.isEmpty(); }
    // In Chinese: "已恢复到 <time> 之前的历史号码：N 期，最后一期 Q", or why nothing changed.
    QString message() const;
};

// 撤销上次修改: puts back the history exactly as the newest restorable copy holds it, every
// stored field as it was; a copy that holds the history as it stands is passed over. The history it
// replaces is first kept as a copy of its own, so that the undo can be undone in turn. In one
// transaction: the history is then either as it was or as the copy holds it. No copy to restore: an
// error that says so, and nothing changes.
UndoReport undoLastChange(HistoryStore& store);

} // namespace quorvex
