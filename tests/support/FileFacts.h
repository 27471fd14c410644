#pragma once

#include "history/DrawRecord.h"

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

// Five numbers for a draw, different from draw to draw (repeats within a draw allowed).
Numbers drawFor(int index);

} // namespace quorvex::test
