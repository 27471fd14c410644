#include "UpdatePreview.h"

#include "changes/HistoryCopies.h"

namespace quorvex {

QString RetentionNotice::sentence() const {
    if (!replacesHistory)
        return {};
    return QStringLiteral("现有的 %1 期历史号码（第 %2 至 %3 期）超出保留的 %4 年，将全部删除，"
                          "改为从 %5 年起重新从开奖结果服务器读取；删除前会在“%6”文件夹中保存"
                          "一份副本，可以撤销。")
        .arg(draws)
        .arg(firstIssue)
        .arg(lastIssue)
        .arg(retentionYears)
        .arg(startYear)
        .arg(historyCopyFolderName());
}

std::optional<RetentionNotice> retentionNotice(HistoryStore& store, const UpdatePlan& plan,
                                               int iniSerchDay, QString* error) {
    RetentionNotice notice;
    notice.retentionYears = iniSerchDay;
    notice.startYear = plan.firstYear;
    if (!plan.clearHistory)
        return notice;
    QString why;
    notice.draws = int(store.drawCount(&why));
    if (!why.isEmpty()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(why);
        return std::nullopt;
    }
    notice.replacesHistory = true;
    notice.firstIssue = plan.storedFirst.value_or(0);
    notice.lastIssue = plan.storedLast.value_or(0);
    return notice;
}

} // namespace quorvex
