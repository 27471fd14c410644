#pragma once

#include <QByteArray>
#include <QString>

namespace quorvex {

// Files that must survive a crash or a full disk whole: written beside their final name,
// synced, then renamed over it, so the old file stays until the new one is complete.

// Flushes a written file to the disk.
bool syncFile(const QString& path);

// Renames from over to and syncs the folder, so the new name survives a power cut.
bool renameDurably(const QString& from, const QString& to, QString* error);

// Writes bytes to path as above and reads them back; on failure the old file (if any) is
// untouched, nothing is left beside it, and error says why.
bool writeFileDurably(const QString& path, const QByteArray& bytes, QString* error);

} // namespace quorvex
