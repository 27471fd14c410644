#pragma once

#include "HistoryConnection.h"

#include <QByteArrayView>
#include <QSqlError>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvex {

// SQLite's own connection behind the store; null when the store is not open on SQLite.
sqlite3* sqliteHandle(const HistoryConnection& store);

// SQLite's file change counter, read through SQLite's own handle of the file (opening the file
// beside it would drop the locks this process holds). None unless the file is in rollback-journal
// mode, where every commit moves it.
std::optional<quint32> fileChangeCounter(const HistoryConnection& store);
// Inside a read transaction (HistoryStore::ReadSnapshot): takes SQLite's shared lock on the file
// now rather than at the first read, so that no other program can commit until the transaction
// ends. False where the file could not be read.
bool takeSharedLock(const HistoryConnection& store);
// Whether the file's header says write-ahead mode, read the same way.
bool fileInWriteAheadMode(const HistoryConnection& store);

// The program calls SQLite's C API on the Qt driver's connection: both must be one library.
// The message for the user when the library linked here is not the one the driver runs; nothing
// when they agree.
std::optional<QString> sqliteLibraryMismatch(const QSqlDatabase& db);

// A prepared statement run through SQLite's C API on the store's connection, inside whatever
// transaction the store has open. Binding and reading cost no QVariant per value, which is most
// of Qt SQL's cost on rows of a hundred columns. Errors come back as Qt SQL reports them, so
// HistoryConnection::errorText and the damage checks treat them alike.
class SqliteStatement {
public:
    explicit SqliteStatement(const HistoryConnection& store);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool prepare(const QString& sql);
    bool isPrepared() const { return stmt_ != nullptr; }

    // Parameters count from 1, as in SQLite. A value that cannot be bound fails the next
    // exec() or next(), so no row is written or read with a parameter left NULL.
    void bind(int index, qint64 value);
    void bind(int index, const QString& text); // a null QString binds NULL
    // UTF-8 bytes, copied; an empty view binds '' (never NULL), as an empty QString does.
    void bindUtf8(int index, QByteArrayView utf8);
    // The same without the copy: the bytes must stay as they are until the next exec() or next().
    void bindUtf8Kept(int index, QByteArrayView utf8);
    void bindNull(int index);
    void bindReal(int index, double value);
    // Bytes as a blob, copied; an empty view binds a blob of no bytes (never NULL).
    void bindBlob(int index, QByteArrayView bytes);

    // Runs a statement that returns no rows and resets it for the next values.
    bool exec();
    // Rows the last exec() inserted, updated or deleted.
    qint64 changes() const;

    // Reads row by row: true on a row; false at the end or on an error (lastError() tells).
    bool next();
    bool isNull(int column) const;
    qint64 integer(int column) const;
    QString text(int column) const; // NULL reads as a null QString
    // The cell's type as SQLite holds it (SQLITE_INTEGER, SQLITE_TEXT, SQLITE_NULL, ...).
    int type(int column) const;
    // A text cell's UTF-8 bytes without a copy, valid until the next step.
    QByteArrayView utf8(int column) const;
    double real(int column) const;
    // A blob cell's bytes without a copy, valid until the next step.
    QByteArrayView blob(int column) const;
    // The result's columns, known once prepared.
    int columnCount() const;
    QString columnName(int column) const;
    // Ends a read early and readies the statement for new values.
    void reset();

    QSqlError lastError() const { return error_; }
    // The store's text for the last error, damage noted.
    QString errorText() const { return store_.errorText(error_); }

private:
    bool fail(int code);
    void checkBind(int rc);

    const HistoryConnection& store_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    QSqlError error_;
    bool bindFailed_ = false;
};

} // namespace quorvex
