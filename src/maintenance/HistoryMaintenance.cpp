#include "HistoryMaintenance.h"

#include "changes/HistoryChange.h"
#include "draw/HistoryLine.h"
#include "import/TextImport.h"
#include "store/HistoryTextFile.h"

#include <QDir>
#include <QFileInfo>

#include <functional>
#include <limits>

namespace quorvex {

namespace {

MaintenanceReport failure(const QString& why) {
    MaintenanceReport r;
    r.error = asSentence(why) + historyUnchanged();
    return r;
}

// The write lock first, then the history read once under it, so that no draw another program
// stores in between can be lost by the change. Nothing, with failed set, when either fails.
const LishiImage* lockAndRead(HistoryChange& change, MaintenanceReport* failed) {
    if (!change.begun()) {
        *failed = failure(QStringLiteral("无法写入历史数据库：%1。").arg(change.beginError()));
        return nullptr;
    }
    QString why;
    const LishiImage* image = change.readBefore(&why);
    if (!image)
        *failed = failure(why + QStringLiteral("。"));
    return image;
}

// The kept draws as the rebuild stores them. The backup holds exactly their history lines (its
// writer reads every byte back), so a draw the text format cannot carry (an issue
// outside 1..9999999, a number outside 1..15) would be lost by the rebuild: such a history is
// refused.
std::optional<QVector<ImportedDraw>> backupDraws(const QString& path,
                                                 const QVector<DrawNumbers>& kept, QString* error) {
    QVector<ImportedDraw> draws;
    draws.reserve(kept.size());
    for (const DrawNumbers& d : kept) {
        if (!historyLineCarries(d.issue) || !drawFaults(d.numbers).isEmpty()) {
            *error = QStringLiteral("第 %1 期无法写成备份文件 %2 的一行，历史号码不能重建。")
                         .arg(d.issue)
                         .arg(path);
            return std::nullopt;
        }
        draws.append(ImportedDraw{d.issue, d.numbers, int(draws.size()) + 1});
    }
    return draws;
}

// Runs a compaction after a committed change: its failure leaves the change in place.
void compactAfter(HistoryStore& store, MaintenanceReport& report) {
    QString why;
    if (!compactKeepingMark(store, &why))
        report.warning = QStringLiteral("历史号码已更改，但数据库未能压缩：%1").arg(why);
}

using LimitOf = std::function<std::optional<qint64>(const QVector<DrawNumbers>&)>;

// Keeps the draws up to the issue limitOf gives for the stored history (nothing: change
// nothing), writes them to the backup, and rebuilds the history from the backup with bases.
MaintenanceReport rebuildUnderLock(HistoryStore& store, const QString& folder,
                                   const ValueBases& bases, const LimitOf& limitOf,
                                   CopyReason reason, const QString& stepName) {
    HistoryChange change(store);
    MaintenanceReport failed;
    // Read once: the copy is this image, and its draws decide what is kept.
    const LishiImage* image = lockAndRead(change, &failed);
    if (!image)
        return failed;
    QString why;
    const QVector<DrawNumbers>& draws = image->draws;
    const std::optional<qint64> limit = limitOf(draws);
    if (!limit || draws.isEmpty()) {
        MaintenanceReport r; // nothing to do: the history stays as it is
        r.keptDraws = int(draws.size());
        if (!draws.isEmpty())
            r.lastIssue = draws.last().issue;
        return r;
    }

    QVector<DrawNumbers> kept;
    MaintenanceReport report;
    for (const DrawNumbers& d : draws)
        (d.issue <= *limit ? kept : report.removed).append(d);

    const QString backup = QDir(folder).filePath(backupFileName());
    const auto imported = backupDraws(backup, kept, &why);
    if (!imported)
        return failure(why);
    if (!change.keepCopy(reason, &why))
        return failure(why + QStringLiteral("。"));
    if (!writeHistoryTextFile(backup, kept, &why))
        return failure(QStringLiteral("无法写入备份文件：%1。").arg(why));

    ZodiacYear zodiacYear;
    if (!writeHistoryRows(store, *imported, bases, zodiacYear, &why))
        return failure(QStringLiteral("重建历史号码时出错：%1。").arg(why));
    report.keptDraws = int(kept.size());
    if (!kept.isEmpty())
        report.lastIssue = kept.last().issue;
    change.leaves(RowsLeft::WrittenWhole, bases);
    const QVector<DrawNumbers> written = drawNumbersOf(*imported);
    switch (change.commitReplacing(stepName, &why, &written)) {
    case HistoryChange::Outcome::Failed:
        return failure(QStringLiteral("无法保存重建的历史号码：%1。").arg(why));
    case HistoryChange::Outcome::Unchanged:
        report.unchanged = true;
        report.removed.clear();
        return report;
    case HistoryChange::Outcome::Committed:
        break;
    }
    report.copyFile = change.copy() ? change.copy()->undoPath : QString();
    report.changed = true;
    report.rebuilt = true;
    return report;
}

// No compaction follows a rebuild: it rewrites the table in one transaction, which reuses the
// pages it frees, so compacting would cost a second pass over the file for little space.
MaintenanceReport rebuildKeeping(HistoryStore& store, const QString& folder,
                                 const ValueBases& bases, const LimitOf& limitOf, CopyReason reason,
                                 const QString& stepName) {
    return rebuildUnderLock(store, folder, bases, limitOf, reason, stepName);
}

QString issueRange(const QVector<DrawNumbers>& draws) {
    if (draws.size() == 1)
        return QStringLiteral("第 %1 期").arg(draws.first().issue);
    return QStringLiteral("第 %1 至 %2 期").arg(draws.first().issue).arg(draws.last().issue);
}

} // namespace

QString MaintenanceReport::message() const {
    if (failed())
        return error;
    QString out;
    if (unchanged) {
        out = QStringLiteral(
            "没有删除历史号码，按当前的生肖和段数设置重新计算也没有改变任何一期：历史号码"
            "未作改动，没有记下可撤销的一步。");
    } else if (removed.isEmpty() && keptDraws == 0) {
        out = QStringLiteral("历史号码是空的，没有可删除的记录。");
    } else if (removed.isEmpty()) {
        out = rebuilt ? QStringLiteral("没有删除历史号码；已按当前的生肖和段数设置重新计算 %1 期。")
                            .arg(keptDraws)
                      : QStringLiteral("没有删除历史号码。");
    } else {
        out = QStringLiteral("已删除 %1 期历史号码（%2），")
                  .arg(removed.size())
                  .arg(issueRange(removed));
        if (keptDraws == 0) {
            out += QStringLiteral("历史号码已清空。");
        } else {
            out += QStringLiteral("保留 %1 期，最后一期为第 %2 期。")
                       .arg(keptDraws)
                       .arg(lastIssue.value_or(0));
            if (rebuilt)
                out += QStringLiteral("保留的各期已按当前的生肖和段数设置重新计算。");
        }
    }
    if (!copyFile.isEmpty())
        out += QStringLiteral("修改前的历史号码已保存在 %1，可以撤销这次修改。")
                   .arg(QDir::toNativeSeparators(copyFile));
    if (!warning.isEmpty())
        out += QLatin1Char('\n') + warning;
    return out;
}

std::optional<qint64> positiveAnswer(const std::optional<QString>& answer) {
    if (!answer)
        return std::nullopt;
    bool ok = false;
    const qint64 value = answer->trimmed().toLongLong(&ok);
    if (!ok || value <= 0)
        return std::nullopt;
    return value;
}

qint64 dropLastLimit(qint64 lastIssue, qint64 n) {
    qint64 limit = 0;
    if (__builtin_sub_overflow(lastIssue, n, &limit))
        return n > 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return limit;
}

MaintenanceReport eraseLastDraw(HistoryStore& store) {
    MaintenanceReport report;
    {
        HistoryChange change(store);
        const LishiImage* image = lockAndRead(change, &report);
        if (!image)
            return report;
        QString why;
        if (image->draws.isEmpty())
            return report; // empty history: nothing to delete
        const DrawNumbers last = image->draws.last();
        if (!change.keepCopy(CopyReason::EraseLast, &why))
            return failure(why + QStringLiteral("。"));
        change.leaves(RowsLeft::EndRemoved);
        if (!store.deleteLastDraw(&why) || change.commitReplacing(stepName::eraseLast(), &why) !=
                                               HistoryChange::Outcome::Committed)
            return failure(QStringLiteral("无法删除第 %1 期：%2。").arg(last.issue).arg(why));
        report.copyFile = change.copy()->undoPath;
        report.changed = true;
        report.removed.append(last);
        report.keptDraws = int(image->draws.size()) - 1;
        if (report.keptDraws > 0)
            report.lastIssue = image->draws[report.keptDraws - 1].issue;
    }
    compactAfter(store, report);
    return report;
}

MaintenanceReport clearHistory(HistoryStore& store) {
    HistoryChange change(store);
    MaintenanceReport report;
    const LishiImage* image = lockAndRead(change, &report);
    if (!image)
        return report;
    QString why;
    if (image->draws.isEmpty())
        return report;
    if (!change.keepCopy(CopyReason::Clear, &why))
        return failure(why + QStringLiteral("。"));
    change.leaves(RowsLeft::EndRemoved);
    if (!store.Delrec(&why) ||
        change.commitReplacing(stepName::clear(), &why) != HistoryChange::Outcome::Committed)
        return failure(QStringLiteral("无法清空历史号码：%1。").arg(why));
    report.copyFile = change.copy()->undoPath;
    report.changed = true;
    report.removed = image->draws;
    return report;
}

MaintenanceReport keepToIssue(HistoryStore& store, const QString& folder, qint64 lastKept,
                              const ValueBases& bases) {
    if (lastKept <= 0)
        return failure(QStringLiteral("保留到的期号必须是正整数。"));
    return rebuildKeeping(
        store, folder, bases, [&](const QVector<DrawNumbers>&) { return lastKept; },
        CopyReason::KeepTo, stepName::keepTo(lastKept));
}

MaintenanceReport dropLastIssues(HistoryStore& store, const QString& folder, qint64 count,
                                 const ValueBases& bases) {
    if (count <= 0)
        return failure(QStringLiteral("要删除的期数必须是正整数。"));
    return rebuildKeeping(
        store, folder, bases,
        [&](const QVector<DrawNumbers>& draws) -> std::optional<qint64> {
            if (draws.isEmpty())
                return std::nullopt;
            return dropLastLimit(draws.last().issue, count);
        },
        CopyReason::DropLast, stepName::dropLast(count));
}

MaintenanceReport rebuildHistory(HistoryStore& store, const QString& folder,
                                 const ValueBases& bases) {
    return rebuildKeeping(
        store, folder, bases,
        [](const QVector<DrawNumbers>&) {
            return std::optional<qint64>(std::numeric_limits<qint64>::max());
        },
        CopyReason::Rebuild, stepName::rebuild());
}

} // namespace quorvex
