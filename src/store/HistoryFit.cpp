#include "HistoryFit.h"

#include "CheckVerdicts.h"
#include "HistorySnapshot.h"
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

// Names the derivation rules with the bases: a version whose zodiac cut-offs differ must not
// recall this one's verdicts.
QString historyFitTopic(const ValueBases& bases) {
    return QStringLiteral("fit1 %1 %2").arg(bases.sxIni).arg(bases.dsIni);
}

namespace {

QString issueText(const std::optional<qint64>& issue) {
    return issue ? QString::number(*issue) : QStringLiteral("-");
}

} // namespace

std::optional<HistoryFit> historyFitFrom(const QString& verdict) {
    const QStringList parts = verdict.split(QLatin1Char(' '));
    if (parts.size() != 5)
        return std::nullopt;
    bool ok[5];
    HistoryFit fit;
    fit.draws = parts[0].toLongLong(&ok[0]);
    fit.zodiacMisfits = parts[1].toLongLong(&ok[1]);
    fit.segmentMisfits = parts[2].toLongLong(&ok[2]);
    ok[3] = ok[4] = true;
    if (parts[3] != QLatin1String("-"))
        fit.firstZodiacMisfit = parts[3].toLongLong(&ok[3]);
    if (parts[4] != QLatin1String("-"))
        fit.firstSegmentMisfit = parts[4].toLongLong(&ok[4]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3] && ok[4]))
        return std::nullopt;
    return fit;
}

QString historyFitVerdict(const HistoryFit& fit) {
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(fit.draws)
        .arg(fit.zodiacMisfits)
        .arg(fit.segmentMisfits)
        .arg(issueText(fit.firstZodiacMisfit), issueText(fit.firstSegmentMisfit));
}

std::optional<HistoryFit> checkHistoryFit(const HistoryStore& store, const ValueBases& bases,
                                          QString* error) {
    // A file unchanged since it was last checked under these bases is not read again.
    const CheckVerdicts verdicts(store);
    if (const auto known = verdicts.recall(historyFitTopic(bases)))
        if (const auto fit = historyFitFrom(*known))
            return fit;
    // The numbers, zodiac and segment values first, then the other kinds and the code texts: the
    // same pass tells whether each kind's stored code texts are the ones its values give the
    // draw after them, so that the searches may work their tokens out from the values.
    const std::array<int, kKindCount> kinds{Number, Zodiac, Segment, Head, Tail, DigitSum};
    QStringList columns{QStringLiteral("SQQH")};
    for (const int kind : kinds)
        for (int i = 1; i <= kPositions; ++i)
            columns << attributeColumn(i, kind);
    for (const int kind : kinds)
        columns << codeColumn(kind);
    constexpr int kFirstCode = 1 + kKindCount * kPositions;
    SqliteStatement q(store);
    HistoryFit fit;
    ZodiacYear zodiacYear;
    std::array<bool, kKindCount> codesDerived;
    codesDerived.fill(true);
    std::array<std::array<int, kPositions>, kKindCount> before{}; // by the order of kinds
    const HistoryStore::ReadSnapshot pinned(store);
    if (q.prepare(QStringLiteral("SELECT %1 FROM Lishi").arg(columns.join(QLatin1Char(','))))) {
        while (q.next()) {
            const qint64 issue = q.integer(0);
            for (int at = 0; at < kKindCount; ++at) {
                // A missing text and an empty one hold no token alike; the first draw's is empty.
                const AsciiText derived =
                    fit.draws == 0 ? AsciiText() : codeAsciiText(kinds[at], before[at]);
                codesDerived[at] = codesDerived[at] && q.utf8(kFirstCode + at) == derived.bytes();
                for (int i = 0; i < kPositions; ++i)
                    before[at][i] = int(q.integer(1 + at * kPositions + i));
            }
            const Numbers numbers = before[0];
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
    for (int at = 0; at < kKindCount; ++at)
        if (codesDerived[at])
            verdicts.remember(HistorySnapshot::codesTopic(kinds[at]), QStringLiteral("derived"));
    verdicts.remember(historyFitTopic(bases), historyFitVerdict(fit));
    return fit;
}

} // namespace quorvex
