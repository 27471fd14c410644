#include "IssueGaps.h"

#include <QStringList>

namespace quorvex {

QString IssueGap::describe() const {
    if (!withinYear())
        return QStringLiteral("第 %1 期之后是第 %2 期").arg(before).arg(after);
    const qint64 missing = after - before - 1;
    if (missing == 1)
        return QStringLiteral("缺第 %1 期").arg(before + 1);
    return QStringLiteral("缺第 %1 至 %2 期（%3 期）").arg(before + 1).arg(after - 1).arg(missing);
}

QVector<IssueGap> issueGaps(const QVector<qint64>& ascendingIssues) {
    QVector<IssueGap> gaps;
    for (qsizetype i = 1; i < ascendingIssues.size(); ++i) {
        const qint64 before = ascendingIssues[i - 1];
        const qint64 after = ascendingIssues[i];
        const qint64 year = before / 1000;
        const bool nextInYear = after == before + 1;
        const bool nextYearStarts = after / 1000 == year + 1 && after % 1000 == 1;
        if (!nextInYear && !nextYearStarts)
            gaps.append({before, after});
    }
    return gaps;
}

QString gapSummary(const QVector<IssueGap>& gaps, int listed) {
    if (gaps.isEmpty())
        return {};
    QStringList shown;
    for (qsizetype i = 0; i < gaps.size() && i < listed; ++i)
        shown << gaps[i].describe();
    QString out = QStringLiteral("期号有 %1 处不连续：%2")
                      .arg(gaps.size())
                      .arg(shown.join(QStringLiteral("；")));
    if (gaps.size() > listed)
        out += QStringLiteral("；……");
    return out + QStringLiteral("。");
}

} // namespace quorvex
