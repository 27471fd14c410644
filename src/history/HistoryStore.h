#pragma once

#include "DrawRecord.h"
#include "HistoryFileAccess.h"
#include "StoreVersion.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

namespace quorvex {

class BackgroundPageCheck;

// When open() checks the file page by page: before it returns, or beside the caller's first
// reads, on a connection of its own in another thread (finishPageCheck() gives the verdict).
enum class PageCheckTiming { BeforeOpen, BesideReads };

// The history database "Quorvex.mdb" in the program's folder (dbHistory) and the routines that
// change it. Every failure is returned with a message for the user; nothing is skipped silently.
class HistoryStore {
public:
    static QString databaseFileName() { return QStringLiteral("Quorvex.mdb"); }
    // Left behind by earlier versions, which compacted through a copy; removed when found.
    static QString compactFileName() { return QStringLiteral("QuorvexTmp.mdb"); }

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

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

    using Version = StoreVersion;
    // Nothing and the reason when the history cannot be read.
    std::optional<Version> version(QString* error = nullptr) const;

    // Several reads that must see one version of the history: one read transaction, unless the
    // caller has one open already.
    class ReadSnapshot {
    public:
        explicit ReadSnapshot(const HistoryStore& store);
        ~ReadSnapshot();
        ReadSnapshot(const ReadSnapshot&) = delete;
        ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    private:
        QSqlDatabase db_;
        bool own_ = false;
    };
    std::optional<StoredDraw> lastDraw(QString* error = nullptr) const;
    // Issue and numbers of every draw in issue order, read to the last row; nothing and the
    // reason when the history cannot be read whole.
    std::optional<QVector<DrawNumbers>> loadNumbers(QString* error) const;
    qint64 drawCount(QString* error = nullptr) const;

    // The first and last issue: two key lookups, no count of the rows (counting reads every
    // page of the table, a large part of a short command at 100,000 draws).
    struct Span {
        bool empty = true;
        qint64 firstIssue = 0; // 0 for an empty history
        qint64 lastIssue = 0;
    };
    std::optional<Span> span(QString* error) const;

    // The greatest text of the column strQQH, at which an online update's scan stops. Nothing
    // writes the column; nothing when it is empty or missing (files of older versions).
    std::optional<QString> strQQHLimit() const;

    // One row instead of the whole view: the draw `back` rows before the last draw whose issue is
    // at most atMost (any issue when not given). Nothing when there is no such draw; error is
    // set only when the history could not be read.
    std::optional<StoredDraw> drawBack(std::optional<qint64> atMost, int back,
                                       QString* error) const;

    // The issue the next draw gets: the last issue plus one, or the current year's 001.
    qint64 nextIssue(const QDate& today) const;
    // The same, but a history that cannot be read gives nothing and the reason, instead of
    // passing for an empty one (which would restart the numbering at the year's 001).
    std::optional<qint64> nextIssue(const QDate& today, QString* error) const;

    // Derives one draw and appends it as the row after previous (nothing: no draw before it).
    // zodiacYear is set from zodiacIssue and stays set. Returns the stored attributes.
    std::optional<DrawAttributes> AppendDraw(qint64 issue, const Numbers& numbers,
                                             qint64 zodiacIssue,
                                             const std::optional<DrawAttributes>& previous,
                                             const ValueBases& bases, ZodiacYear& zodiacYear,
                                             QString* error);

    // Stores numbers as the next draw in one transaction: under issue when given (it must come
    // after the last issue), else the last issue plus one (today's year's 001 on an empty
    // history), chained to the last draw as read inside the transaction. The zodiac year follows
    // zodiacIssue when given, else the issue stored. Returns the issue stored; nothing and the
    // reason when nothing was stored.
    std::optional<qint64> appendNextDraw(const Numbers& numbers, std::optional<qint64> issue,
                                         std::optional<qint64> zodiacIssue, const ValueBases& bases,
                                         ZodiacYear& zodiacYear, const QDate& today,
                                         QString* error);
    // The same inside the caller's write transaction, which commits it.
    std::optional<qint64> appendAfterLast(const Numbers& numbers, std::optional<qint64> issue,
                                          std::optional<qint64> zodiacIssue,
                                          const ValueBases& bases, ZodiacYear& zodiacYear,
                                          const QDate& today, QString* error);

    // Deletes every draw.
    bool Delrec(QString* error);
    // Deletes the newest draw; an empty history is no error.
    bool deleteLastDraw(QString* error);

    // Compacts the file in place with SQLite's own VACUUM: one transaction that other programs
    // wait for, so every draw committed before or beside it is kept. When it fails the history
    // stays as it was and stays open.
    bool CompactDb(QString* error);

    // One write transaction over several statements: rolled back unless committed. It takes the
    // write lock at once (waiting for other writers), so what it reads stays current until commit.
    class Transaction {
    public:
        explicit Transaction(HistoryStore& store);
        ~Transaction();
        bool begun() const { return begun_; }
        // Why begin failed: read-only, damaged or busy.
        QString beginError() const { return beginError_; }
        bool commit(QString* error);

    private:
        HistoryStore& store_;
        QSqlDatabase db_;
        QString beginError_;
        bool begun_ = false;
        bool done_ = false;
    };

private:
    bool openConnection(const QString& path, HistoryAccess access, PageCheckTiming check,
                        QString* error);
    bool checkPages(QString* error);
    // The verdict on what the page check found: true, or the file refused as damaged or busy.
    bool pageVerdict(QStringList problems, const QSqlError& failure, QString* error);
    // Before any write: the verdict of a check still running beside the reads.
    void settlePageCheck();
    static bool isBusy(const QSqlError& error);
    // Refuses the open: another program holds the file for writing.
    bool busy(const QSqlError& why, QString* error);
    bool write(const QString& sql, QString* error);
    bool refuse(HistoryOpenFailure failure, const QString& message, QString* error);

    QString folder_;
    QString connectionName_;
    QSqlDatabase db_;
    bool readOnly_ = false;
    HistoryOpenFailure openFailure_ = HistoryOpenFailure::None;
    mutable QString damage_;
    std::unique_ptr<BackgroundPageCheck> pageCheck_;
};

} // namespace quorvex
