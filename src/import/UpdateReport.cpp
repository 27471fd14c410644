#include "UpdateReport.h"

namespace quorvex {

namespace {

const QString kUnchanged = QStringLiteral("历史号码未作改动。");

QString yearNote(const YearOutcome& y) {
    if (!y.error.isEmpty())
        return QStringLiteral("%1 年的页面读取失败：%2").arg(y.year).arg(y.error);
    if (y.held)
        return QStringLiteral("%1 年找到的 %2 期未保存：前面的年份读取失败，保存会留下空缺，"
                              "请稍后再次更新。")
            .arg(y.year)
            .arg(y.scan.draws.size());
    if (y.scan.end == YearScan::End::InvalidNumbers)
        return QStringLiteral(
                   "%1 年第 %2 期的号码不是 1 到 15 中五个不同的数，该年从此期起未读入。")
            .arg(y.year)
            .arg(y.scan.endIssue);
    if (y.scan.end == YearScan::End::NotDrawn && y.scan.drawsFollow)
        return QStringLiteral("%1 年第 %2 期没有号码，该年从此期起未读入。")
            .arg(y.year)
            .arg(y.scan.endIssue);
    return {};
}

} // namespace

QVector<int> UpdateReport::failedYears() const {
    QVector<int> out;
    for (const YearOutcome& y : years) {
        if (!y.error.isEmpty())
            out << y.year;
    }
    return out;
}

bool UpdateReport::complete() const {
    return (outcome == Outcome::Updated || outcome == Outcome::NothingNew) &&
           failedYears().isEmpty();
}

QString UpdateReport::summary() const {
    QStringList lines;
    switch (outcome) {
    case Outcome::Updated:
        lines << QStringLiteral("在线更新完成：新增 %1 期历史号码（第 %2 至 %3 期）。")
                     .arg(appended)
                     .arg(firstIssue)
                     .arg(lastIssue);
        if (cleared > 0)
            lines << QStringLiteral("原有的 %1 期历史号码超过保留的 %2 年，已先删除。")
                         .arg(cleared)
                         .arg(retentionYears);
        break;
    case Outcome::NothingNew:
        lines << QStringLiteral("没有找到新的历史号码，") + kUnchanged;
        break;
    case Outcome::Failed:
        lines << QStringLiteral("在线更新失败：%1").arg(error) +
                     (error.endsWith(QChar(u'。')) ? QString() : QStringLiteral("。")) + kUnchanged;
        break;
    case Outcome::Cancelled:
        lines << QStringLiteral("在线更新已取消，") + kUnchanged;
        break;
    }
    if (outcome != Outcome::Cancelled) {
        for (const YearOutcome& y : years) {
            const QString note = yearNote(y);
            if (!note.isEmpty())
                lines << note;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace quorvex
