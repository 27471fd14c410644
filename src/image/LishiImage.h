#pragma once

#include "draw/DrawRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QVector>

#include <array>
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

    // Where SQQH and L1A..L5A stand among the columns; -1 where missing.
    static std::array<int, kPositions + 1> drawColumnsAt(const QStringList& columns);
    // What contentHash hashes before the cells, for a reader that hashes them as it reads.
    static QByteArray hashHead(const QStringList& columns, qint64 rows);
    // Where each row's cells begin, and the end: rows + 1 offsets; nothing when the cells are
    // not whole.
    std::optional<QVector<qsizetype>> rowStarts() const;
};

struct LishiImage::Read {
    LishiImage image;
    QDateTime taken;
    QString reason;
};

// The issue of the first row in which two images differ (the smaller of the two there, or the
// issue of the row only one of them has); nothing when they hold the same rows or do not share
// their columns.
std::optional<qint64> firstDifferingIssue(const LishiImage& a, const LishiImage& b);

} // namespace quorvex
