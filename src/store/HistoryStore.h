#pragma once

#include "draw/DrawRecord.h"
#include "HistoryConnection.h"
#include "StoreVersion.h"

#include <QString>

#include <optional>

namespace quorvex {

// The draws of the history: reading them whole or in part, appending, deleting and compacting.
// Every failure is returned with a message for the user; nothing is skipped silently.
class HistoryStore;
// changes/DerivedRowsMark.h
bool compactKeepingMark(HistoryStore& store, QString* error);

class HistoryStore : public HistoryConnection {
public:
    HistoryStore() = default;

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
    // stays as it was and stays open. Only compactKeepingMark holds the key: a compaction moves
    // the file's change counter, and a mark it did not carry over would name a state gone.
    class CompactionKey {
        friend bool compactKeepingMark(HistoryStore& store, QString* error);
        CompactionKey() = default;
    };
    bool CompactDb(CompactionKey, QString* error);

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
        // Rolls back what was written, now; true once nothing of it stands (also when nothing
        // was begun or it was committed).
        bool rollback();

    private:
        HistoryStore& store_;
        QSqlDatabase db_;
        QString beginError_;
        bool begun_ = false;
        bool done_ = false;
    };

private:
    bool write(const QString& sql, QString* error);
};

} // namespace quorvex
