#pragma once

#include <QByteArray>
#include <QString>

namespace quorvex {

// Files that must survive a crash or a full disk whole: written beside their final name,
// synced, then renamed over it, so the old file stays until the new one is complete.

// Why the system refused (an errno), in the user's words rather than its own English.
QString systemErrorText(int error);

// Flushes a written file to the disk.
bool syncFile(const QString& path);

// Renames from over to and syncs the folder, so the new name survives a power cut.
bool renameDurably(const QString& from, const QString& to, QString* error);

// Why path may not be written: a link, a folder, a pipe, a socket or a device stands there
// (named in the message); empty for a regular file or nothing.
QString notOursToWrite(const QString& path);

// Writes bytes to path as above and reads them back; on failure the old file (if any) is
// untouched, nothing is left beside it, and error says why. The bytes go to a fresh file that is
// renamed over path: a link at path is refused (notOursToWrite), never written through.
bool writeFileDurably(const QString& path, const QByteArray& bytes, QString* error);

// The same for a file that only saves work (a cache): fresh and renamed into place, never written
// through a link, but neither synced nor read back.
bool writeFileFresh(const QString& path, const QByteArray& bytes, QString* error);

} // namespace quorvex
