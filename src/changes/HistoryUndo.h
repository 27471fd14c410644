#pragma once

#include "ChangeSteps.h"

#include <QString>

#include <optional>

namespace quorvex {

// What an undo or a redo did.
struct UndoReport {
    bool redo = false;    // a redo, not an undo
    bool done = false;    // the step was undone or redone
    bool nothing = false; // there was no step to take
    QString error;        // why nothing changed
    QString stepName;     // the step taken
    QDateTime stepTaken;
    int draws = 0; // draws in the history afterwards
    std::optional<qint64> lastIssue;
    QString savedCopy; // the copy kept of the history an undo replaced

    bool failed() const { return !error.isEmpty(); }
    // In Chinese: "已撤销“<step>”（<time>）：现有 N 期历史号码，最后一期 Q。", the same with 重做,
    // or why nothing changed.
    QString message() const;
};

// 撤销: takes back the newest step not undone (ChangeSteps.h), every stored field as it was
// before it. A step whose copy is missing or damaged, or whose history was changed since by
// another program, is refused with the reason, and no older step is taken instead. One
// transaction: the history and its steps are as before or as after.
UndoReport undoStep(HistoryStore& store);

// 重做: makes the oldest undone step again, every stored field as it was after it, on the
// same terms.
UndoReport redoStep(HistoryStore& store);

// The steps, newest first, read in one read transaction.
std::optional<QVector<ChangeStep>> listSteps(const HistoryStore& store, QString* error);

} // namespace quorvex
