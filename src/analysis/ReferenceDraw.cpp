#include "ReferenceDraw.h"

#include "history/ZodiacTables.h"

namespace quorvex {

qsizetype SeekRefDraw(const HistoryView& view, bool bolSq, int intPreQi) {
    if (view.isEmpty())
        return -1;
    const qsizetype back = bolSq ? 0 : qMax(0, intPreQi - 1);
    const qsizetype position = view.size() - 1 - back;
    return position >= 0 ? position : -1;
}

std::optional<RefValues> referenceValuesAt(const HistoryView& view, qsizetype position, int kind) {
    const auto draw = view.at(position);
    if (!draw || kind < 0 || kind >= kKindCount)
        return std::nullopt;
    return draw->attributes.kindValues(kind);
}

std::optional<qint64> SetStartIssue(const HistoryView& view, bool bolSq, int n) {
    const auto first = view.first();
    if (!first)
        return std::nullopt;
    return first->issue + (bolSq ? 1 : n);
}

std::optional<QString> referenceValueText(int kind, int value, int sxIni) {
    if (kind == Zodiac) {
        const QString name = strSxName(value - sxIni);
        if (name.isEmpty())
            return std::nullopt;
        return name;
    }
    return QString::number(value);
}

} // namespace quorvex

namespace quorvex {

std::optional<qint64> issueBefore(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 issue = t.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    if (t.endsWith(QLatin1String("001"))) {
        bool yearOk = false;
        const qint64 year = t.left(4).toLongLong(&yearOk);
        if (!yearOk)
            return std::nullopt;
        return (year - 1) * 1000 + 359;
    }
    return issue - 1;
}

qsizetype verificationDraw(const HistoryView& view, qint64 target, bool bolSq, int intPreQi) {
    qsizetype position = view.size() - 1;
    while (position >= 0 && view.rows()[position].issue > target)
        --position;
    if (position < 0)
        return -1;
    if (!bolSq)
        position -= qMax(0, intPreQi - 1);
    return position >= 0 ? position : -1;
}

} // namespace quorvex
