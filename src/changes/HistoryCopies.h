#pragma once

#include "image/LishiImage.h"
#include "store/HistoryStore.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

namespace quorvex {

// The copies of the whole history kept before every change that removes or replaces draws, in
// the folder 历史号码 of the program's folder, one file each:
//   替换前的历史号码-<yyyyMMdd>-<HHmmss>[-<n>]-<what>.undo   every stored field (LishiImage), which
//                                                           undo puts back exactly and the text
//                                                           import reads as history lines
// n tells apart copies taken within one second. Earlier versions also wrote the draws beside it
// as a .txt history file; those copies are listed and undone as before. The steps of the
// history of changes (ChangeSteps.h) say which copies undo and redo use, and delete a copy with
// its step; no other file of the folder is touched.

inline QString historyCopyFolderName() {
    return QStringLiteral("历史号码");
}

// What a copy was taken before; its word goes into the file name.
enum class CopyReason {
    EraseLast,
    Clear,
    KeepTo,
    DropLast,
    Rebuild,
    Import,
    UpdateRetention,
    Undo
};
QString copyReasonWord(CopyReason reason);

struct HistoryCopy {
    QString textPath; // the history lines, beside copies of earlier versions only
    QString undoPath; // every stored field; empty for a text-only copy
    QDateTime taken;
    QString reason; // the word of the name; empty for copies of earlier versions
    int draws = 0;
    std::optional<qint64> lastIssue;
    // What was written, as a step records it: a copy whose files differ is refused.
    qint64 textBytes = 0;
    QByteArray textSum; // BLAKE2b-256
    qint64 undoBytes = 0;
    QByteArray undoSum;
    qint64 plainBytes = 0; // what the .undo file unpacks to
    bool restorable() const { return !undoPath.isEmpty(); }
    // The name both files share, without folder and suffix.
    QString stem() const;
};

// The copies in the folder, newest first, read from their names (nothing of their contents).
QVector<HistoryCopy> listHistoryCopies(const QString& programFolder);

// Keeps a copy of the history as the store's open write transaction reads it: the file is
// written beside its name, synced and renamed. Nothing and the reason when the copy
// could not be written whole (no file of it is left then): the change must not go on.
std::optional<HistoryCopy> keepHistoryCopy(HistoryStore& store, CopyReason reason, QString* error);
// The same with the history already read (in the same transaction).
std::optional<HistoryCopy> keepHistoryCopy(const QString& programFolder, const LishiImage& image,
                                           CopyReason reason, QString* error);

// Removes a copy taken for a change that then did not happen.
void discardHistoryCopy(const HistoryCopy& copy);

// Removes the .undo copies no step refers to (referenced: the files of every step), and what a
// copy killed while being written left beside its name. Only under the write lock, in a change
// that has recorded its step: no other change can then have a copy not yet recorded.
void removeUnreferencedCopies(const QString& programFolder, const QStringList& referenced);

// Reads a copy's .undo file whole; nothing and the reason when it is missing or damaged.
std::optional<LishiImage::Read> readHistoryCopy(const HistoryCopy& copy, QString* error);

// The copy a step recorded, from its name and what was written.
HistoryCopy recordedCopy(const QString& programFolder, const QString& stem);
// Reads a recorded copy after checking its .undo file against what was written: it must be a
// regular file (no link, folder or FIFO) of the size and BLAKE2b-256 recorded, and the image must
// unpack to the size recorded. Nothing and a reason naming the file otherwise.
std::optional<LishiImage::Read> readRecordedCopy(const HistoryCopy& copy, QString* error);

// "2026-03-15 14:25:01", as messages show the time of a copy.
QString copyTimeText(const QDateTime& taken);

} // namespace quorvex
