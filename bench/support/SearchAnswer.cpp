#include "SearchAnswer.h"

#include <QStringList>

namespace quorvex::bench {

QString SearchAnswer::text() const {
    QStringList tally;
    for (qsizetype i = 0; i < counts.size(); ++i)
        tally << QStringLiteral("%1:%2").arg(lo + i).arg(counts[i]);
    return QStringLiteral("%1 follow draws; %2").arg(followDraws).arg(tally.join(QLatin1Char(' ')));
}

SearchAnswer answerOf(const FollowResult& result) {
    SearchAnswer answer;
    answer.followDraws = result.followDraws;
    answer.lo = result.bars.isEmpty() ? 0 : result.bars.first().value;
    for (const auto& bar : result.bars)
        answer.counts << bar.count;
    return answer;
}

} // namespace quorvex::bench
