#pragma once

#include "HistoryFileAccess.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace quorvex {

class BackgroundPageCheck;
class CheckVerdicts;

// When open() checks the file page by page: before it returns, or beside the caller's first
// reads, on a connection of its own in another thread (finishPageCheck() gives the verdict).
enum class PageCheckTiming { BeforeOpen, BesideReads };

// The connection to the history database "Quorvex.mdb" in the program's folder: opening it,
// vetting the file and saying why it cannot be read or written. HistoryStore reads and writes
// the draws through it.
class HistoryConnection {
public:
    static QString databaseFileName() { return QStringLiteral("Quorvex.mdb"); }
    // The topic of the page check's verdict (CheckVerdicts): "ok" when every page was sound.
    static QString pagesTopic() { return QStringLiteral("pages"); }
    // Left behind by earlier versions, which compacted through a copy; removed when found.
    static QString compactFileName() { return QStringLiteral("QuorvexTmp.mdb"); }

    HistoryConnection();
    ~HistoryConnection();
    HistoryConnection(const HistoryConnection&) = delete;
    HistoryConnection& operator=(const HistoryConnection&) = delete;

    // Opens the history in folder and checks it page by page; for writing, creates it with the
    // full schema when the file is missing. A file that is not a readable history, or that is
    // damaged, is left untouched and reported; openFailure() then says which. Read-only access
    // leaves no file behind and works on a read-only file or in a read-only folder.
    // BesideReads: for a writable file in rollback-journal mode the check runs while the caller
    // reads; what was read counts only once finishPageCheck() passed, and no write comes first.
    bool open(const QString& folder, QString* error,
              HistoryAccess access = HistoryAccess::ReadWrite,
              PageCheckTiming check = PageCheckTiming::BeforeOpen);
    // Waits for a check left beside the reads. A file that fails it is closed and reported as
    // open() would have refused it (openFailure() says which); true when no check was pending.
    bool finishPageCheck(QString* error);
    void close();
    bool isOpen() const { return db_.isOpen(); }
    bool isReadOnly() const { return readOnly_; }
    HistoryOpenFailure openFailure() const { return openFailure_; }
    // Set once SQLite reported damage through this store; nothing may be written then.
    bool isDamaged() const { return !damage_.isEmpty(); }
    QString damageMessage() const { return damage_; }
    // Why nothing may be written (the damage, or a history opened read-only); empty when it may.
    QString writeRefusal() const;
    // The text of a database error for the user; damage is noted and gets the damage message.
    QString errorText(const QSqlError& error) const;
    QString folder() const { return folder_; }
    QString databasePath() const;
    QSqlDatabase database() const { return db_; }

protected:
    // Before any write: the verdict of a check still running beside the reads.
    void settlePageCheck();

    QString folder_;
    QSqlDatabase db_;
    bool readOnly_ = false;
    mutable QString damage_;

private:
    // A writer renames the tables earlier versions named in pinyin (TableNames.h).
    bool bringTableNamesUpToDate(QString* error);
    bool openConnection(const QString& path, HistoryAccess access, PageCheckTiming check,
                        QString* error);
    bool checkPages(QString* error);
    // The verdict on what the page check found: true, or the file refused as damaged or busy.
    bool pageVerdict(QStringList problems, const QSqlError& failure, QString* error);
    static bool isBusy(const QSqlError& error);
    // Refuses the open: another program holds the file for writing.
    bool busy(const QSqlError& why, QString* error);
    bool refuse(HistoryOpenFailure failure, const QString& message, QString* error);

    QString connectionName_;
    HistoryOpenFailure openFailure_ = HistoryOpenFailure::None;
    std::unique_ptr<BackgroundPageCheck> pageCheck_;
    std::unique_ptr<CheckVerdicts> pageCheckVerdicts_; // the file's state when it began
};

} // namespace quorvex
