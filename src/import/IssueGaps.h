#pragma once

#include <QString>
#include <QVector>

namespace quorvex {

// Issues missing between two draws that follow each other in a history. Within a year the
// missing issues are known; across a year's end only that the new year does not go on from 001
// after the last issue of the year before (how many issues a year holds is not known).
struct IssueGap {
    qint64 before = 0; // the draw before the gap
    qint64 after = 0;  // the draw after it

    bool withinYear() const { return before / 1000 == after / 1000; }
    // "缺第 2013045 期", "缺第 2013045 至 2013049 期（5 期）", "第 2013120 期之后是第 2015003 期"
    QString describe() const;
};

// Every gap of ascending issues, in order.
QVector<IssueGap> issueGaps(const QVector<qint64>& ascendingIssues);

// "期号有 3 处不连续：缺第 2013045 期；…" with the first `listed` gaps; empty without gaps.
QString gapSummary(const QVector<IssueGap>& gaps, int listed = 3);

} // namespace quorvex
