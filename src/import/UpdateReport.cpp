#include "UpdateReport.h"

#include "changes/HistoryChange.h"

#include <QDir>

namespace quorvex {

namespace {

// Why the year's scan ended before the page's last draw.
QString earlyEnd(const YearScan& scan) {
    switch (scan.end) {
    case YearScan::End::InvalidNumbers:
        return QStringLiteral("的号码不是 1 到 15 中五个不同的数");
    case YearScan::End::NotDrawn:
        return QStringLiteral("没有号码");
    case YearScan::End::MissingIssue:
        return QStringLiteral("不在页面上，页面却列出了其后的期号");
    case YearScan::End::ReachedLimit:
        return QStringLiteral("不晚于历史数据库 strQQH 列中最大的期号");
    case YearScan::End::PastLastSequence:
        break;
    }
    return {};
}

QString yearNote(const YearOutcome& y, const std::optional<UpdateStop>& stop) {
    if (y.notAResultsPage)
        return QStringLiteral("%1 年的页面不是开奖结果页面：%2，该年没有读入。")
            .arg(y.year)
            .arg(y.error);
    if (!y.error.isEmpty())
        return QStringLiteral("%1 年的页面读取失败：%2").arg(y.year).arg(y.error);
    QStringList notes;
    if (y.scan.endsEarly())
        notes << QStringLiteral("%1 年第 %2 期%3，该年从此期起未读入。")
                     .arg(y.year)
                     .arg(y.scan.endIssue)
                     .arg(earlyEnd(y.scan));
    else if (stop && stop->cause == UpdateStop::Cause::NoDraws && stop->year == y.year)
        notes
            << QStringLiteral("%1 年的页面没有列出任何一期开奖号码，其后的年份却有。").arg(y.year);
    if (y.held)
        notes << QStringLiteral("%1 年找到的 %2 期未保存。").arg(y.year).arg(y.scan.draws.size());
    return notes.join(QLatin1Char('\n'));
}

QString stopNote(const UpdateReport& r) {
    if (r.retentionKept)
        return QStringLiteral(
                   "原有的历史号码超过保留的 %1 年，本应删除后重新下载；新下载的号码在第 "
                   "%2 期处有空缺，所以原有历史号码没有删除，新下载的号码也没有保存。"
                   "请稍后再次更新。")
            .arg(r.retentionYears)
            .arg(r.stop->issue);
    return QStringLiteral("更新停在第 %1 期：此期及其后的号码没有保存，以免历史号码留下空缺。"
                          "请稍后再次更新。")
        .arg(r.stop->issue);
}

bool anyHeld(const QVector<YearOutcome>& years) {
    return std::any_of(years.begin(), years.end(), [](const YearOutcome& y) { return y.held; });
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
    return (outcome == Outcome::Updated || outcome == Outcome::NothingNew) && !stop &&
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
            lines << QStringLiteral("原有的 %1 期历史号码超过保留的 %2 年，已先删除；"
                                    "删除前的历史号码已保存在 %3，可以撤销。")
                         .arg(cleared)
                         .arg(retentionYears)
                         .arg(QDir::toNativeSeparators(copyFile));
        break;
    case Outcome::NothingNew:
        lines << (anyHeld(years) ? QStringLiteral("没有保存新的历史号码，")
                                 : QStringLiteral("没有找到新的历史号码，")) +
                     historyUnchanged();
        break;
    case Outcome::Failed:
        lines << QStringLiteral("在线更新失败：%1").arg(error) +
                     (error.endsWith(QChar(u'。')) ? QString() : QStringLiteral("。")) +
                     historyUnchanged();
        break;
    case Outcome::Cancelled:
        lines << QStringLiteral("在线更新已取消，") + historyUnchanged();
        break;
    }
    if (outcome != Outcome::Cancelled) {
        for (const YearOutcome& y : years) {
            const QString note = yearNote(y, stop);
            if (!note.isEmpty())
                lines << note;
        }
        if (stop && outcome != Outcome::Failed)
            lines << stopNote(*this);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace quorvex
