#pragma once

#include "store/HistoryStore.h"
#include "TestHistory.h"

#include <QString>
#include <QVector>

namespace quorvex::test {

// Every kind of change of the stored draws, as the undo tests make them.
enum class Change {
    EraseLast,
    Clear,
    KeepTo,
    DropLast,
    Rebuild,
    Import,
    UpdateRetention,
    Typed,
    Update
};
QVector<Change> allChanges();
// The changes that remove or replace draws, and so keep a copy.
QVector<Change> copyingChanges();
const char* changeName(Change change);

// A history as other programs and earlier settings may leave it: half derived with one pair of
// bases and half with the other, a text where a number belongs, NULLs, a real, a blob, strQQH
// and working columns holding values. Undo must bring every cell back as it was.
void fillMixed(TempHistory& h, int count);
// A history file of 30 draws from 2010001 in folder; its path.
QString writeImportFile(const QString& folder);
// Makes the change (the same each time on the same history); the reason when it failed.
QString runChange(Change change, HistoryStore& store, const QString& importFile);
// How many steps the history of changes holds.
int stepCount(const HistoryStore& store);
// The folder of the copies.
QString copyFolder(const TempHistory& h);

} // namespace quorvex::test

Q_DECLARE_METATYPE(quorvex::test::Change)
