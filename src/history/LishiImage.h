#pragma once

#include "HistoryStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QVector>

#include <optional>

namespace quorvex {

// Every column of every row of Lishi exactly as stored: each cell with its SQLite type and
// value, NULLs and texts where numbers belong included. A copy of the history keeps one, and
// undo writes it back, so that what comes back is what was there, whatever bases, zodiac
// cut-offs or other program derived it.
struct LishiImage {
    QStringList columns; // in table order
    qint64 rows = 0;
    QByteArray cells;           // the cells row after row, encoded (see LishiImage.cpp)
    QVector<DrawNumbers> draws; // issue and L1A..L5A of each row, in issue order
    // Read by readLishiDigest, which keeps no cells: the rows as toBytes packs them, and the
    // content hash; by readDerivedDigest: the packed rows only (the cells are derivedUnder's).
    // Null and empty otherwise.
    QByteArray packedRows;
    QByteArray digest;
    // The bases every row stands as the writers derive it under, where that is known: set by
    // fromBytes from the packed rows, and by readDerivedDigest from the mark.
    std::optional<int> derivedUnder;

    // The whole image as bytes, with when and why it was taken; fromBytes reads them back.
    QByteArray toBytes(const QDateTime& taken, const QString& reason) const;
    // maxPlainBytes bounds what the bytes may unpack to: nothing larger is allocated.
    struct Read;
    static std::optional<Read> fromBytes(const QByteArray& bytes, QString* error,
                                         qint64 maxPlainBytes = kMaxPlainBytes);
    static constexpr qint64 kMaxPlainBytes = 512LL << 20;
    // What the bytes of every form begin with.
    static QByteArray magicPrefix() { return QByteArrayLiteral("QUORVEX-LISHI "); }

    // BLAKE2b-256 of the columns, the row count and every cell: equal hashes, equal histories.
    QByteArray contentHash() const;
    // The same of the columns, the row count and each row's issue and numbers only: what
    // readNumbersHash gives for the history this image holds, at a fraction of a full read.
    QByteArray numbersHash() const;
    static QByteArray numbersHash(const QStringList& columns, const QVector<DrawNumbers>& draws);
    // contentHash() of the rows the writers derive from the draws under the bases (0..3).
    static QByteArray derivedHash(const QStringList& columns, const QVector<DrawNumbers>& draws,
                                  int bases);
};

struct LishiImage::Read {
    LishiImage image;
    QDateTime taken;
    QString reason;
};

// Reads every row of Lishi in issue order, inside whatever transaction the store has open; only
// the rows from fromIssue on when given.
std::optional<LishiImage> readLishiImage(const HistoryStore& store, QString* error,
                                         std::optional<qint64> fromIssue = std::nullopt);

// The same without keeping the cells: what a copy of the history before a change needs (its
// bytes, its hash, its draws) at a fraction of the memory. Runs inside the caller's transaction.
std::optional<LishiImage> readLishiDigest(const HistoryStore& store, QString* error);

// LishiImage::numbersHash of the history as stored, reading only the issues and numbers; of its
// rows before beforeIssue only when given.
std::optional<QByteArray> readNumbersHash(const HistoryStore& store, QString* error,
                                          std::optional<qint64> beforeIssue = std::nullopt);

// The issue of the first row in which two images differ (the smaller of the two there, or the
// issue of the row only one of them has); nothing when they hold the same rows or do not share
// their columns.
std::optional<qint64> firstDifferingIssue(const LishiImage& a, const LishiImage& b);

// Replaces every row of Lishi with the image's rows, cell for cell. Use inside a
// HistoryStore::Transaction. A column of the image the table does not have is refused
// before anything is written.
bool writeLishiImage(HistoryStore& store, const LishiImage& image, QString* error);
// The same, for a history that holds now: only the rows that differ are deleted and written.
bool rewriteLishiImage(HistoryStore& store, const LishiImage& now, const LishiImage& target,
                       QString* error);
// Adds the image's rows beside those stored, cell for cell, with the same checks.
bool insertLishiRows(HistoryStore& store, const LishiImage& image, QString* error);

} // namespace quorvex
