#pragma once

#include "HistoryStore.h"
#include "image/LishiImage.h"

namespace quorvex {

// Lishi read into images and written from them, inside whatever transaction the store has open.

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

// Replaces every row of Lishi with the image's rows, cell for cell. Use inside a
// HistoryStore::Transaction. A column of the image the table does not have is refused
// before anything is written.
bool writeLishiImage(HistoryStore& store, const LishiImage& image, QString* error);
// The same, for a history that holds now: only the rows that differ are deleted and written.
bool rewriteLishiImage(HistoryStore& store, const LishiImage& now, const LishiImage& target,
                       QString* error);
// Adds the image's rows beside those stored, cell for cell, with the same checks.
bool insertLishiRows(HistoryStore& store, const LishiImage& image, QString* error);

// The columns of Lishi and each row's issue and five numbers, in issue order (only those filled
// in the image); nothing where the read failed or a row holds anything but an issue the writers
// store and five numbers of 1..15.
std::optional<LishiImage> readIssuesAndNumbers(const HistoryStore& store);

// Inside the caller's write transaction: removes every row from issue on.
bool deleteRowsFrom(HistoryStore& store, qint64 issue, QString* error);

} // namespace quorvex
