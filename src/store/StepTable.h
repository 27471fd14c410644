#pragma once

#include "HistoryConnection.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

namespace quorvex {

// The table Steps of the history file, where the history of changes is kept beside the draws so
// that a step and its change commit together. One row a step, as stored; what the columns mean
// is the history of changes' own business (changes/ChangeSteps.h).
struct StoredStep {
    qint64 id = 0;
    QString name;
    qint64 takenMs = 0;
    bool undone = false;
    qint64 kind = 0;
    std::optional<qint64> firstAdded;
    QByteArray added; // read only when asked for
    QByteArray beforeHash;
    QByteArray afterHash;
    QByteArray afterNumbers;
    QString beforeCopy;
    QString afterCopy;
};

// The table's name, and the one the same table had in files written by earlier versions.
QString stepTableName();
QString earlierStepTableName();

// Every stored step, newest first; an empty list for a file without the table. withAdded also
// reads the rows appended steps keep.
std::optional<QVector<StoredStep>> readStoredSteps(const HistoryConnection& store, bool withAdded,
                                                   QString* error);

// Inside the caller's write transaction.
bool createStepTable(HistoryConnection& store, QString* error);
bool deleteUndoneSteps(HistoryConnection& store, QString* error);
bool deleteStepsUpTo(HistoryConnection& store, qint64 id, QString* error);
bool insertStep(HistoryConnection& store, const StoredStep& step, QString* error);
// The columns an undo or a redo changes: undone, afterCopy, afterHash, beforeHash.
bool updateStep(HistoryConnection& store, const StoredStep& step, QString* error);

} // namespace quorvex
