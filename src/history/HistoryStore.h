#pragma once

#include "HistoryView.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace quorvex {

// The history database "Quorvex.mdb" in the program's folder (dbHistory) and the routines that
// change it. Every failure is returned with a message for the user; nothing is skipped silently.
class HistoryStore {
public:
    static QString databaseFileName() { return QStringLiteral("Quorvex.mdb"); }
    static QString compactFileName() { return QStringLiteral("QuorvexTmp.mdb"); }

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the history in folder; creates it with the full schema when the file is missing.
    // A file that is not a readable history database is left untouched and reported.
    bool open(const QString& folder, QString* error);
    void close();
    bool isOpen() const { return db_.isOpen(); }
    QString folder() const { return folder_; }
    QString databasePath() const;
    QSqlDatabase database() const { return db_; }

    // The whole history in issue order (rsHistoryView).
    HistoryView loadView(QString* error = nullptr) const;
    std::optional<StoredDraw> lastDraw(QString* error = nullptr) const;
    // Issue and numbers of every draw in issue order, read to the last row; nothing and the
    // reason when the history cannot be read whole.
    std::optional<QVector<DrawNumbers>> loadNumbers(QString* error) const;
    qint64 drawCount(QString* error = nullptr) const;

    // How many draws there are and the first and last issue, in one read.
    struct Span {
        qint64 count = 0;
        qint64 firstIssue = 0; // 0 for an empty history
        qint64 lastIssue = 0;
    };
    std::optional<Span> span(QString* error) const;

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

    // Deletes every draw.
    bool Delrec(QString* error);
    // Deletes the newest draw; an empty history is no error.
    bool deleteLastDraw(QString* error);

    // Compacts into QuorvexTmp.mdb, checks the copy, then swaps it in atomically and reopens.
    // When any step fails the history stays as it was and stays open.
    bool CompactDb(QString* error);

    // What a transaction writes: draws must reach the disk at commit; the searches' working
    // columns may wait for the next synced commit (the file stays consistent either way).
    enum class Writes { Draws, WorkingColumns };

    // One transaction over several statements: rolled back unless committed. A transaction that
    // writes draws takes the write lock at once, so what it reads first is still the last word
    // when it writes.
    class Transaction {
    public:
        explicit Transaction(HistoryStore& store, Writes writes = Writes::Draws);
        ~Transaction();
        bool begun() const { return begun_; }
        bool commit(QString* error);

    private:
        void end();

        QSqlDatabase db_;
        bool relaxed_ = false;
        bool begun_ = false;
        bool done_ = false;
    };

private:
    bool openConnection(const QString& path, QString* error);
    bool createDatabaseFile(const QString& path, QString* error);

    QString folder_;
    QString connectionName_;
    QSqlDatabase db_;
};

} // namespace quorvex
