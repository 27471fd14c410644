#pragma once

#include "HistoryCopies.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace quorvex {

// The history of changes: every change of the stored draws is one step, kept in the table
// Steps of the history file itself, so that a step and its change commit together and the window
// and the CLI share them. Steps are linear: undo takes the newest step not undone, redo the oldest
// undone one, and a new step drops every undone step.
//
// A step that only appended draws keeps those rows (every stored field), and is undone by
// removing exactly them. A step that removed or replaced draws keeps the copy of the history
// before it (none when that history was empty) and the hash of the history after it; its first
// undo keeps a copy of the history it replaces, which its redo puts back.

constexpr int kStepsKept = 30;

enum class StepKind { Added = 0, Replaced = 1 };

struct ChangeStep {
    qint64 id = 0; // grows with every step
    QString name;  // what the user did, as menus and lists show it
    QDateTime taken;
    bool undone = false;
    StepKind kind = StepKind::Added;

    // Added: the first issue the step appended, and its rows (LishiImage bytes); beforeHash is
    // then the numbers hash (LishiImage::numbersHash) of the rows it appended after (empty in
    // steps of earlier versions).
    qint64 firstAdded = 0;
    QByteArray added;

    // Replaced: the hashes of the history before and after (LishiImage::contentHash), and the
    // copies of both; nothing where that history was empty or the copy is not taken yet. The
    // history after is hashed whole once the first undo has read it; until then (reading it all
    // would double the cost of an import) by its issues and numbers (LishiImage::numbersHash),
    // unless those were the same before, where only the whole tells a change. The history
    // before is hashed by the first undo, which reads its copy whole, where the change copied it
    // from its issues and numbers alone (DerivedRowsMark.h). A history after that the writers
    // derived whole from the same draws as before, under other bases, is named by those bases
    // (derivedAfter) until the first undo hashes it.
    QByteArray beforeHash;
    QByteArray afterHash;
    QByteArray afterNumbers;
    std::optional<HistoryCopy> before;
    std::optional<HistoryCopy> after;

    // The files of its copies.
    QStringList files() const;
};

// An afterHash naming the bases (0..3) the writers derived the history after under, and back.
QByteArray derivedAfter(int bases);
std::optional<int> derivedAfterBases(const QByteArray& afterHash);

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
