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
