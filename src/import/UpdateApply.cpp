#include "UpdateApply.h"

#include "changes/HistoryChange.h"

#include "store/DrawBulkWriter.h"

namespace quorvex {

bool readHistoryBounds(HistoryStore& store, HistoryBounds* bounds, QString* error) {
    const auto span = store.span(error);
    if (!span)
        return false;
    *bounds = {};
    if (!span->empty) {
        bounds->first = span->firstIssue;
        bounds->last = span->lastIssue;
    }
    bounds->strQQHLimit = store.strQQHLimit();
    return true;
}

bool applyUpdate(HistoryStore& store, const UpdatePlan& plan, const QVector<ScannedDraw>& draws,
                 const ValueBases& bases, ZodiacYear& zodiacYear, int* cleared, QString* error,
                 QString* copyFile) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (cleared)
        *cleared = 0;
    if (copyFile)
        copyFile->clear();
    if (draws.isEmpty())
        return fail(QStringLiteral("没有要保存的开奖号码。"));
    HistoryChange change(store);
    if (!change.begun())
        return fail(QStringLiteral("无法开始写入历史数据库：%1").arg(change.beginError()));
    // Inside the transaction: what is checked here is what the draws are chained to.
    HistoryBounds now;
    QString why;
    if (!readHistoryBounds(store, &now, &why))
        return fail(why);
    if (now.first != plan.storedFirst || now.last != plan.storedLast)
        return fail(QStringLiteral("更新期间历史号码被另一个程序改动了，请重新更新。"));

    std::optional<DrawAttributes> previous;
    if (plan.clearHistory) {
        if (!change.readBefore(&why) || !change.keepCopy(CopyReason::UpdateRetention, &why))
            return fail(why + QStringLiteral("，没有删除原有的历史号码。"));
        if (!store.Delrec(&why))
            return fail(QStringLiteral("无法删除原有的历史号码：%1").arg(why));
    } else if (plan.storedLast) {
        const auto last = store.lastDraw(&why);
        if (!last)
            return fail(QStringLiteral("无法读取最后一期：%1").arg(why));
        previous = last->attributes;
    }
    DrawBulkWriter writer(store);
    if (!writer.prepare(&why))
        return fail(why);
    for (const ScannedDraw& d : draws) {
        if (plan.continues && d.issue <= *plan.continues)
            return fail(
                QStringLiteral("第 %1 期不在最后一期 %2 之后。").arg(d.issue).arg(*plan.continues));
        previous = writer.append(d.issue, d.numbers, d.issue, previous, bases, zodiacYear, &why);
        if (!previous)
            return fail(why);
    }
    // The retention and the draws after it are one step; draws only appended are another kind.
    const QString name = stepName::update(draws.first().issue, draws.last().issue);
    change.leaves(plan.clearHistory ? RowsLeft::WrittenWhole : RowsLeft::Appended, bases);
    const auto outcome = plan.clearHistory ? change.commitReplacing(name, &why)
                                           : change.commitAdding(name, draws.first().issue, &why);
    if (outcome == HistoryChange::Outcome::Failed)
        return fail(QStringLiteral("无法保存更新的历史号码：%1").arg(why));
    if (outcome == HistoryChange::Outcome::Committed && change.copy()) {
        if (cleared)
            *cleared = change.copy()->draws;
        if (copyFile)
            *copyFile = change.copy()->undoPath;
    }
    return true;
}

} // namespace quorvex
