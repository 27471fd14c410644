#pragma once

#include "store/HistoryStore.h"

#include <QString>
#include <QVector>

#include <optional>

namespace quorvex {

// The commands that take draws out of the history. The window and the CLI only ask the user
// and show the report; every decision and every write is here.
//
// Each is one step of the history of changes (HistoryChange.h): it first keeps a copy of the
// whole history as its transaction reads it, which undo puts back; a copy that cannot be written
// stops the command, and a command that would change nothing records no step.
//
// The two commands that keep part of the history, and the rebuild, go through the backup
// "lsbf.txt" in the program's folder: it is written completely, synced and read back as the
// same draws before the history is touched, and the history is then replaced in one
// transaction. A failure at any step leaves the history exactly as it was.

inline QString backupFileName() {
    return QStringLiteral("lsbf.txt");
}

// What a maintenance command did.
struct MaintenanceReport {
    bool changed = false;            // a change was committed
    bool unchanged = false;          // it would have changed nothing: no step was recorded
    QString error;                   // why nothing changed; the history is as it was
    QString warning;                 // trouble after the committed change (the compaction)
    QVector<DrawNumbers> removed;    // the draws taken out, oldest first
    int keptDraws = 0;               // draws in the history afterwards
    std::optional<qint64> lastIssue; // the last issue afterwards; nothing when empty
    bool rebuilt = false;            // every kept draw was derived afresh
    QString copyFile;                // the copy kept of the history before the change

    bool failed() const { return !error.isEmpty(); }
    // One message for the user, in Chinese: what was removed and kept, or why nothing changed,
    // then the warning if any.
    QString message() const;
};

// The answer of an input box asking for an issue or a count: a positive whole number, or
// nothing when it was cancelled, empty, zero, negative or not a whole number (nothing changes).
std::optional<qint64> positiveAnswer(const std::optional<QString>& answer);

// The last issue kept when the last n issues are dropped. It is worked out on issue numbers,
// not by counting rows: last 2014002 and n = 3 give 2013999, so only the draws of 2014 go.
qint64 dropLastLimit(qint64 lastIssue, qint64 n);

// Command3, mnuErase: deletes the newest draw (no confirmation), then compacts. An empty history
// is no error: nothing is removed.
MaintenanceReport eraseLastDraw(HistoryStore& store);

// mnuClear, once the user confirmed: deletes every draw. The file is not compacted.
MaintenanceReport clearHistory(HistoryStore& store);

// mnuDlzd: keeps the draws whose issue is at most lastKept (positive) and rebuilds them with the
// bases. An issue below the first removes every draw; the last issue keeps every draw.
MaintenanceReport keepToIssue(HistoryStore& store, const QString& folder, qint64 lastKept,
                              const ValueBases& bases);

// mnuEszhzd: drops the issues after dropLastLimit(last issue, count) (count positive) and
// rebuilds the rest with the bases.
MaintenanceReport dropLastIssues(HistoryStore& store, const QString& folder, qint64 count,
                                 const ValueBases& bases);

// Keeps every draw and derives each afresh with the bases, e.g. after a change of the zodiac or
// segment base.
MaintenanceReport rebuildHistory(HistoryStore& store, const QString& folder,
                                 const ValueBases& bases);

} // namespace quorvex
