#pragma once

#include <QSqlError>
#include <QString>

#include <optional>
#include <sys/types.h>

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
    NotAFile,       // a dangling link, a folder, a pipe or a device where the file should be
    Link,           // a link to a file: read through it, never written through it
    Interrupted,    // an interrupted write must be rolled back first, and cannot be here
    NotAHistory,
    Damaged,
    Busy, // another program holds the file for writing: nothing is wrong with it
};

// What lies at the history's path, found without opening it (opening a pipe would wait for a
// writer forever). problem: the message for the user when it cannot be a history.
// A file as the system knows it, whatever path leads to it.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};
// The file path leads to, through its links (stat only: the file is never opened); nothing when
// there is none.
std::optional<FileId> fileId(const QString& path, mode_t* mode = nullptr);

struct HistoryPath {
    enum Kind { Missing, File, NotAFile };
    Kind kind = Missing;
    QString problem;
    bool link = false; // a File reached through a link
};
HistoryPath inspectHistoryPath(const QString& path);

// Whether the file system holding path is mounted read-only: nothing can change a file there.
bool onReadOnlyFileSystem(const QString& path);

// Rolls back a write that was interrupted (its journal left beside the file) through a
// connection of its own, and leaves the file in rollback-journal mode. False and the reason
// when that cannot be done.
bool recoverInterruptedWrite(const QString& path, const QString& connectionName, QString* error);

// SQLite's extended result code of a database error; 0 when it carries none.
int sqliteErrorCode(const QSqlError& error);

// SQLite's reason for an error in the user's words, with its code; never its English text.
QString sqliteReason(const QSqlError& error);

// SQLite's own verdict that the file is damaged or is no database at all (SQLITE_CORRUPT and
// SQLITE_NOTADB, with their extended codes).
bool isDamageError(const QSqlError& error);

// The one message for a damaged history: the file and that nothing was written.
QString damagedHistoryMessage(const QString& path, const QString& detail);

// Whether a new file can be created in folder, for the effective user (root passes).
bool folderIsWritable(const QString& folder);
// Whether the file may be written (the writable bit for the effective user; root passes).
bool fileIsWritable(const QString& path);

// The name to give QSQLITE for a read-only connection. In a read-only folder no program can
// write the file (a writer needs its journal beside it), so SQLite is told the file is
// immutable and neither locks it nor looks for a journal it could not create anyway.
QString readOnlyDatabaseName(const QString& path, bool immutable);

} // namespace quorvex
