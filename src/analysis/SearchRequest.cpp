#include "SearchRequest.h"

namespace quorvex {

std::optional<qint64> issueFromTypedText(const QString& text) {
    bool ok = false;
    const qint64 v = text.trimmed().right(8).trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

bool validateRequest(const SearchRequest& r, QString* error) {
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (r.intLei < 0 || r.intLei >= kKindCount || r.intXianshiLei < 0 ||
        r.intXianshiLei >= kKindCount)
        return refuse(QStringLiteral("检索类型无效。"));
    if (!r.bolSq && (r.intPreQi < 1 || r.intPreQi > 9))
        return refuse(QStringLiteral("前N期的N必须是1到9之间的数字，当前为%1。").arg(r.intPreQi));
    if (r.startIssue > r.endIssue)
        return refuse(QStringLiteral("起始期号 %1 在截止期号 %2 之后，请改正检索起止期数。")
                          .arg(r.startIssue)
                          .arg(r.endIssue));
    if (r.bolManual) {
        const ValueRange range = kindRange(r.intLei, r.bases.sxIni, r.bases.dsIni);
        for (int i = 0; i < kPositions; ++i) {
            if (r.bolPosSel[i] && !range.contains(r.intRefVal[i]))
                return refuse(QStringLiteral("第%1位的参考值 %2 超出%3的范围（%4～%5）。")
                                  .arg(i + 1)
                                  .arg(r.intRefVal[i])
                                  .arg(kindCaption(r.intLei))
                                  .arg(range.lo)
                                  .arg(range.hi));
        }
    }
    return true;
}

bool validateCombinedPositions(int k, QString* error) {
    if (k >= 1 && k <= kPositions)
        return true;
    if (error)
        *error =
            QStringLiteral("组合位数必须是1到5之间的数字，当前为%1，没有标记任何一期。").arg(k);
    return false;
}

} // namespace quorvex
