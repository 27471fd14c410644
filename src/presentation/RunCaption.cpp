#include "RunCaption.h"

#include "analysis/ResultTally.h"

#include "draw/AttributeKind.h"

namespace quorvex {

QString searchKindText(const SearchRequest& request, int combinedPositions) {
    const QString mode = request.bolZyw ? QStringLiteral("自由位") : QStringLiteral("固定位");
    return combinedPositions > 0
               ? QStringLiteral("组合检索（%1位，%2）").arg(combinedPositions).arg(mode)
               : QStringLiteral("检索（%1）").arg(mode);
}

QStringList searchOptionTexts(const SearchRequest& request, int combinedPositions) {
    // The combination search takes every position whatever is ticked; a follow search with none
    // ticked matches every earlier draw.
    QStringList positions;
    for (int i = 0; i < kPositions; ++i)
        if (request.bolPosSel[i])
            positions << QString::number(i + 1);
    const QString where = combinedPositions > 0 ? QStringLiteral("全部%1码").arg(kPositions)
                          : positions.isEmpty()
                              ? QStringLiteral("未选位置")
                              : QStringLiteral("第%1码").arg(positions.join(QStringLiteral("、")));
    return {
        where,
        request.bolSq ? QStringLiteral("上期") : QStringLiteral("前%1期").arg(request.intPreQi),
        QStringLiteral("搜索类型 %1").arg(kindCaption(request.intLei)),
        QStringLiteral("结果类型 %1").arg(kindCaption(request.intXianshiLei)),
        request.bases.sxIni == 0 ? QStringLiteral("生肖参数0~11") : QStringLiteral("生肖参数1~12"),
        request.bases.dsIni == 0 ? QStringLiteral("段数参数0~2") : QStringLiteral("段数参数1~3"),
    };
}

namespace {

QString referenceText(const SearchRequest& request, const ReferenceOrigin& origin) {
    QStringList values;
    for (const int v : request.intRefVal)
        values << valueLabel(request.intLei, v, request.bases.sxIni);
    const QString shown = values.join(QLatin1Char(' '));
    switch (origin.kind) {
    case ReferenceOrigin::Kind::Typed:
        return QStringLiteral("参照手动输入（%1）").arg(shown);
    case ReferenceOrigin::Kind::Verification:
        return QStringLiteral("验证第 %1 期（参照 %2）").arg(origin.issue.value_or(0)).arg(shown);
    case ReferenceOrigin::Kind::Draw:
        break;
    }
    return origin.issue ? QStringLiteral("参照第 %1 期（%2）").arg(*origin.issue).arg(shown)
                        : QStringLiteral("参照（%1）").arg(shown);
}

} // namespace

QString searchCaption(const SearchRequest& request, int combinedPositions,
                      const ReferenceOrigin& origin, const FollowResult& result) {
    QStringList parts = searchOptionTexts(request, combinedPositions);
    // After the draw matched through: which draw that is.
    parts.insert(2, referenceText(request, origin));
    parts << QStringLiteral("%1–%2 期").arg(request.startIssue).arg(request.endIssue);
    QString tallied = QStringLiteral("跟随 %1 期").arg(result.followDraws);
    if (!result.note.isEmpty())
        tallied += QStringLiteral("，") + result.note;
    return QStringLiteral("%1：%2。%3。")
        .arg(searchKindText(request, combinedPositions), parts.join(QStringLiteral("，")), tallied);
}

} // namespace quorvex
