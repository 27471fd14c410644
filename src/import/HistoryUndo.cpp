#include "HistoryUndo.h"

#include <QDir>

namespace quorvex {

namespace {

const QString kUnchanged = QStringLiteral("历史号码未作改动。");

UndoReport failure(const QString& why) {
    UndoReport r;
    r.error = why + kUnchanged;
    return r;
}

} // namespace

QString UndoReport::message() const {
    if (failed())
        return error;
    QString out =
        QStringLiteral("已恢复到 %1 之前的历史号码：%2 期").arg(copyTimeText(copyTaken)).arg(draws);
    if (lastIssue)
        out += QStringLiteral("，最后一期 %1").arg(*lastIssue);
    out += QStringLiteral("。");
    if (!savedCopy.isEmpty())
        out += QStringLiteral("恢复前的历史号码已保存在 %1，可再次撤销。")
                   .arg(QDir::toNativeSeparators(savedCopy));
    return out;
}

UndoReport undoLastChange(HistoryStore& store) {
    // The copies are written under the write lock, so the newest one cannot change meanwhile.
    HistoryStore::Transaction lock(store);
    if (!lock.begun())
        return failure(QStringLiteral("无法写入历史数据库：%1。").arg(lock.beginError()));
    QString why;
    const auto current = readLishiImage(store, &why);
    if (!current)
        return failure(why + QStringLiteral("。"));
    // The newest copy that differs from the history as it stands: one that holds it already was
    // kept for a change that never came to pass (or changed nothing), and putting it back would
    // change nothing.
    std::optional<LishiImage::Read> target;
    HistoryCopy from;
    for (const HistoryCopy& copy : listHistoryCopies(store.folder())) {
        if (!copy.restorable())
            continue;
        auto read = readHistoryCopy(copy, &why);
        if (!read)
            return failure(why + QStringLiteral("。"));
        if (read->image.columns == current->columns && read->image.cells == current->cells)
            continue;
        target = std::move(read);
        from = copy;
        break;
    }
    if (!target)
        return failure(QStringLiteral("没有可以撤销的修改：文件夹 %1 中没有修改前保存的副本。")
                           .arg(QDir::toNativeSeparators(
                               QDir(store.folder()).filePath(historyCopyFolderName()))));

    const auto saved = keepHistoryCopy(store.folder(), *current, CopyReason::Undo, &why);
    if (!saved)
        return failure(why + QStringLiteral("，没有撤销。"));
    if (!writeLishiImage(store, target->image, &why) || !lock.commit(&why)) {
        discardHistoryCopy(*saved);
        return failure(QStringLiteral("撤销时出错：%1。").arg(why));
    }
    pruneHistoryCopies(store.folder());
    UndoReport report;
    report.restored = true;
    report.copyTaken = target->taken;
    report.copyReason = target->reason;
    report.draws = int(target->image.rows);
    if (!target->image.draws.isEmpty())
        report.lastIssue = target->image.draws.last().issue;
    report.restoredFrom = from.undoPath;
    report.savedCopy = saved->textPath;
    return report;
}

} // namespace quorvex
