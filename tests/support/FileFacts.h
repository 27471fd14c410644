#pragma once

#include "draw/DrawRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvex::test {

// The bytes of a file; empty when it cannot be read.
QByteArray readAll(const QString& path);

// SHA-256 of a file's bytes; empty when it cannot be read.
QByteArray fileHash(const QString& path);

// What a folder holds besides the history database and its journal files, by name.
QStringList filesIn(const QString& folder);

// Sets a file's modification time an hour back, as for a history at rest: only such a file's
// whole-file verdicts are kept. False when it could not be set.
bool ageFile(const QString& path);

// Points the per-user cache (the kept verdicts) at folder, so no test reads the user's own.
void isolateCache(const QString& folder);

// Five numbers for a draw, different from draw to draw (repeats within a draw allowed).
Numbers drawFor(int index);

} // namespace quorvex::test
