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

    // The whole image as bytes, with when and why it was taken; fromBytes reads them back.
    QByteArray toBytes(const QDateTime& taken, const QString& reason) const;
    struct Read;
    static std::optional<Read> fromBytes(const QByteArray& bytes, QString* error);
};

struct LishiImage::Read {
    LishiImage image;
    QDateTime taken;
    QString reason;
};

// Reads every row of Lishi in issue order, inside whatever transaction the store has open.
std::optional<LishiImage> readLishiImage(const HistoryStore& store, QString* error);

// Replaces every row of Lishi with the image's rows, cell for cell. Use inside a
// HistoryStore::Transaction. A column of the image the table does not have is refused
// before anything is written.
bool writeLishiImage(HistoryStore& store, const LishiImage& image, QString* error);

} // namespace quorvex
