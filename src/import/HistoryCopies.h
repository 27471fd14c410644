#pragma once

#include "history/HistoryStore.h"
#include "history/LishiImage.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

namespace quorvex {

// The copies of the whole history kept before every change that removes or replaces draws, in
// the folder 历史号码 of the program's folder. A copy is two files of one name:
//   替换前的历史号码-<yyyyMMdd>-<HHmmss>[-<n>]-<what>.txt   the draws as history lines, which the
//                                                          text import reads like any history
//   替换前的历史号码-<yyyyMMdd>-<HHmmss>[-<n>]-<what>.undo  every stored field (LishiImage), which
//                                                          undo puts back exactly
// n tells apart copies taken within one second. The .undo file is written last: without it the
// .txt is a plain history file (as the import of earlier versions left them) that undo passes
// over. The newest kHistoryCopiesKept copies are kept, older ones deleted; no other file of the
// folder is touched.

inline QString historyCopyFolderName() {
    return QStringLiteral("历史号码");
}
constexpr int kHistoryCopiesKept = 30;

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
    QString textPath; // the history lines
    QString undoPath; // every stored field; empty for a text-only copy
    QDateTime taken;
    QString reason; // the word of the name; empty for copies of earlier versions
    int draws = 0;
    std::optional<qint64> lastIssue;
    bool restorable() const { return !undoPath.isEmpty(); }
};

// The copies in the folder, newest first, read from their names (nothing of their contents).
QVector<HistoryCopy> listHistoryCopies(const QString& programFolder);

// Keeps a copy of the history as the store's open write transaction reads it: both files are
// written beside their names, synced, read back and renamed. Nothing and the reason when the copy
// could not be written whole (no file of it is left then): the change must not go on.
std::optional<HistoryCopy> keepHistoryCopy(HistoryStore& store, CopyReason reason, QString* error);
// The same with the history already read (in the same transaction).
std::optional<HistoryCopy> keepHistoryCopy(const QString& programFolder, const LishiImage& image,
                                           CopyReason reason, QString* error);

// Removes a copy taken for a change that then did not happen.
void discardHistoryCopy(const HistoryCopy& copy);

// Deletes the oldest copies beyond the kept number. Called once the change a copy was taken for
// has committed, so that a change that fails costs no older copy.
void pruneHistoryCopies(const QString& programFolder);

// Reads a copy's .undo file whole; nothing and the reason when it is missing or damaged.
std::optional<LishiImage::Read> readHistoryCopy(const HistoryCopy& copy, QString* error);

// "2026-03-15 14:25:01", as messages show the time of a copy.
QString copyTimeText(const QDateTime& taken);

} // namespace quorvex
