#pragma once

#include <QSqlError>
#include <QString>

namespace quorvex {

// How long a statement waits for another program's write to end before it gives up. Long
// enough for an import of 100,000 draws beside it; short enough that a stuck program is named.
constexpr int kHistoryBusyTimeoutMs = 20000;

// Whether the history may be changed through a connection.
enum class HistoryAccess { ReadWrite, ReadOnly };

// Why a history could not be opened, for callers that offer something else (such as a
// read-only view) instead.
enum class HistoryOpenFailure {
    None,
    FolderMissing,
    CannotCreate,   // the file is missing and cannot be made
    ReadOnlyFile,   // the file may be read but not written
    ReadOnlyFolder, // the folder is read-only: no journal can be made beside the file
    Missing,        // read-only access to a folder without a history
    NotAHistory,
    Damaged,
};

// SQLite's extended result code of a database error; 0 when it carries none.
int sqliteErrorCode(const QSqlError& error);

// SQLite's own verdict that the file is damaged or is no database at all (SQLITE_CORRUPT and
// SQLITE_NOTADB, with their extended codes).
bool isDamageError(const QSqlError& error);

// The one message for a damaged history: the file and that nothing was written.
QString damagedHistoryMessage(const QString& path, const QString& detail);

// Whether a new file can be created in folder (the writable bit, which root also obeys here).
bool folderIsWritable(const QString& folder);

// The name to give QSQLITE for a read-only connection. In a read-only folder no program can
// write the file (a writer needs its journal beside it), so SQLite is told the file is
// immutable and neither locks it nor looks for a journal it could not create anyway.
QString readOnlyDatabaseName(const QString& path, bool immutable);

} // namespace quorvex
