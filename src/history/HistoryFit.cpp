#include "HistoryFit.h"

#include "SqliteStatement.h"

namespace quorvex {

bool HistoryFit::misfitsKind(int kind) const {
    return (kind == Zodiac && zodiacMisfits > 0) || (kind == Segment && segmentMisfits > 0);
}

QString HistoryFit::describe(const ValueBases& bases) const {
    QStringList parts;
    if (zodiacMisfits > 0)
        parts << QStringLiteral("%1 期的生肖值与当前的生肖参数（%2~%3）和农历新年分界不符"
                                "（最早为第 %4 期）")
                     .arg(zodiacMisfits)
                     .arg(bases.sxIni)
                     .arg(bases.sxIni + 11)
                     .arg(firstZodiacMisfit.value_or(0));
    if (segmentMisfits > 0)
        parts << QStringLiteral("%1 期的段数值与当前的段数参数（%2~%3）不符（最早为第 %4 期）")
                     .arg(segmentMisfits)
                     .arg(bases.dsIni)
                     .arg(bases.dsIni + 4)
                     .arg(firstSegmentMisfit.value_or(0));
    if (parts.isEmpty())
        return {};
    return QStringLiteral("历史号码中有 ") + parts.join(QStringLiteral("，另有")) +
           QStringLiteral("。");
}

std::optional<HistoryFit> checkHistoryFit(const HistoryStore& store, const ValueBases& bases,
                                          QString* error) {
    QStringList columns{QStringLiteral("SQQH")};
    for (const int kind : {Number, Zodiac, Segment})
        for (int i = 1; i <= kPositions; ++i)
            columns << attributeColumn(i, kind);
    SqliteStatement q(store);
    HistoryFit fit;
    ZodiacYear zodiacYear;
    const HistoryStore::ReadSnapshot pinned(store);
    if (q.prepare(QStringLiteral("SELECT %1 FROM Lishi").arg(columns.join(QLatin1Char(','))))) {
        while (q.next()) {
            const qint64 issue = q.integer(0);
            Numbers numbers{};
            for (int i = 0; i < kPositions; ++i)
                numbers[i] = int(q.integer(1 + i));
            zodiacYear.followIssue(issue);
            const DrawAttributes a = deriveAttributes(numbers, zodiacYear, bases);
            bool zodiac = false, segment = false;
            for (int i = 0; i < kPositions; ++i) {
                zodiac = zodiac || q.isNull(6 + i) || q.integer(6 + i) != a.value[i][Zodiac];
                segment = segment || q.isNull(11 + i) || q.integer(11 + i) != a.value[i][Segment];
            }
            ++fit.draws;
            auto note = [issue](bool misfit, qint64& count, std::optional<qint64>& first) {
                if (!misfit)
                    return;
                ++count;
                if (!first || issue < *first)
                    first = issue;
            };
            note(zodiac, fit.zodiacMisfits, fit.firstZodiacMisfit);
            note(segment, fit.segmentMisfits, fit.firstSegmentMisfit);
        }
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(q.errorText());
        return std::nullopt;
    }
    return fit;
}

} // namespace quorvex
