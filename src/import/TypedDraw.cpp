#include "TypedDraw.h"

#include "changes/HistoryChange.h"

namespace quorvex {

std::optional<qint64> storeTypedDraw(HistoryStore& store, const Numbers& numbers,
                                     std::optional<qint64> issue, std::optional<qint64> zodiacIssue,
                                     const ValueBases& bases, ZodiacYear& zodiacYear,
                                     const QDate& today, QString* error) {
    HistoryChange change(store);
    if (!change.begun()) {
        *error = QStringLiteral("无法写入历史数据库，未保存：%1").arg(change.beginError());
        return std::nullopt;
    }
    const auto stored =
        store.appendAfterLast(numbers, issue, zodiacIssue, bases, zodiacYear, today, error);
    if (!stored)
        return std::nullopt;
    // A draw whose zodiac comes from another issue is not what the writers derive from its own.
    if (!zodiacIssue || *zodiacIssue == *stored)
        change.leaves(RowsLeft::Appended, bases);
    QString why;
    if (change.commitAdding(stepName::typedDraw(*stored), *stored, &why) !=
        HistoryChange::Outcome::Committed) {
        *error = QStringLiteral("第 %1 期未保存：%2").arg(*stored).arg(why);
        return std::nullopt;
    }
    return stored;
}

std::optional<qint64> repeatedLastIssue(const HistoryStore& store, const Numbers& numbers) {
    if (!store.isOpen())
        return std::nullopt;
    const auto last = store.lastDraw();
    if (!last || last->attributes.numbers() != numbers)
        return std::nullopt;
    return last->issue;
}

} // namespace quorvex
