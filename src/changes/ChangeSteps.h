#pragma once

#include "HistoryCopies.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>
#include <variant>

namespace quorvex {

// The history of changes: every change of the stored draws is one step, kept in the table
// Steps of the history file itself, so that a step and its change commit together and the window
// and the CLI share them. Steps are linear: undo takes the newest step not undone, redo the oldest
// undone one, and a new step drops every undone step.

constexpr int kStepsKept = 30;

// A step that only appended draws: undone by removing exactly them, redone by putting them back.
struct AppendedDraws {
    qint64 firstIssue = 0;    // the first issue it appended
    QByteArray rows;          // the rows it appended, every stored field (LishiImage bytes)
    QByteArray numbersBefore; // LishiImage::numbersHash of the rows it appended after; empty in
                              // steps of earlier versions
};

// How a replacing step names the history after it, so that undo can tell any later change of
// any cell. Its cells are hashed once the first undo has read them; until then (reading them all
// would double the cost of an import) by its issues and numbers, or, where the writers derived
// every row, by the bases they derived them under (undo then checks every cell against that
// derivation).
struct NamedByNumbers {}; // afterNumbers alone (steps of earlier versions)
struct DerivedUnderBases {
    int bases = 0; // 0..3, as DerivedRowsMark.h numbers them
};
struct HashedWhole {
    QByteArray hash; // LishiImage::contentHash
};
using HistoryAfter = std::variant<NamedByNumbers, DerivedUnderBases, HashedWhole>;

// A step that removed or replaced draws: undone by putting the copy of the history before it
// back, redone by putting back the copy its first undo kept of the history after it.
struct ReplacedHistory {
    // The history before, hashed whole (LishiImage::contentHash). Empty where the change copied
    // it from its issues and numbers alone (DerivedRowsMark.h): the first undo, which reads the
    // copy whole, hashes it.
    QByteArray beforeHash;
    HistoryAfter after;
    QByteArray afterNumbers; // LishiImage::numbersHash of the history after
    // The copies of both; nothing where that history was empty or the copy is not taken yet.
    std::optional<HistoryCopy> beforeCopy;
    std::optional<HistoryCopy> afterCopy;
};

struct ChangeStep {
    qint64 id = 0; // grows with every step
    QString name;  // what the user did, as menus and lists show it
    QDateTime taken;
    bool undone = false;
    std::variant<AppendedDraws, ReplacedHistory> change;

    const ReplacedHistory* replaced() const { return std::get_if<ReplacedHistory>(&change); }
    // The files of its copies.
    QStringList files() const;
};

// The names of the steps, one per kind of change.
namespace stepName {
QString typedDraw(qint64 issue);
QString import(const QString& path);
QString update(qint64 firstIssue, qint64 lastIssue);
QString eraseLast();
QString clear();
QString keepTo(qint64 issue);
QString dropLast(qint64 count);
QString rebuild();
} // namespace stepName

// Every step, newest first; an empty list for a history that has none. withRows also reads the
// rows that Added steps keep (undo and redo need them, lists do not).
std::optional<QVector<ChangeStep>> readSteps(const HistoryStore& store, QString* error,
                                             bool withRows = false);

// The step undo takes next (the newest not undone) and the one redo takes next (the oldest
// undone); nothing when there is none. steps as readSteps gives them.
const ChangeStep* nextUndo(const QVector<ChangeStep>& steps);
const ChangeStep* nextRedo(const QVector<ChangeStep>& steps);

// Inside the change's write transaction: drops the undone steps, records step (its id is given
// here), and drops the steps beyond the newest kStepsKept. obsoleteFiles receives the copies of
// the dropped steps, to delete once the transaction committed.
bool recordStep(HistoryStore& store, ChangeStep& step, QStringList* obsoleteFiles, QString* error);

// Inside an undo's or redo's write transaction: marks the step undone or not, with the copy of
// the history after it when the undo just kept one, and the hashes it worked out.
bool markStep(HistoryStore& store, const ChangeStep& step, QString* error);

// Deletes files of steps that were dropped; a file already gone is no error.
void removeStepFiles(const QStringList& files);

} // namespace quorvex
