#include "DrawRecord.h"

namespace quorvex {

Numbers DrawAttributes::numbers() const {
    return kindValues(Number);
}

std::array<int, kPositions> DrawAttributes::kindValues(int kind) const {
    std::array<int, kPositions> out{};
    for (int i = 0; i < kPositions; ++i)
        out[i] = value[i][kind];
    return out;
}

DrawAttributes deriveAttributes(const Numbers& numbers, const ZodiacYear& zodiacYear,
                                const ValueBases& bases) {
    DrawAttributes a;
    for (int i = 0; i < kPositions; ++i) {
        const int n = numbers[i];
        const int head = n / 10;
        const int tail = n % 10;
        auto& v = a.value[i];
        v[Number] = n;
        v[Zodiac] = bases.sxIni + zodiacYear.zodiacOf(n);
        v[Head] = head;
        v[Tail] = tail;
        v[DigitSum] = head + tail;
        v[Segment] = (n - 1) / 3 + bases.dsIni;
    }
    return a;
}

QString numberList(const Numbers& numbers) {
    QString out;
    for (int n : numbers)
        out += QStringLiteral("%1 ").arg(n, 2, 10, QLatin1Char('0'));
    return out;
}

QString codeText(int kind, const std::array<int, kPositions>& values) {
    const ValueRange range = counterRange(kind);
    std::array<int, 16> counters{};
    QString out;
    for (int v : values) {
        if (!range.contains(v))
            continue;
        const int count = ++counters[v];
        out +=
            QString::number(count) + QLatin1Char('X') + kindValueText(kind, v) + QLatin1Char(' ');
    }
    return out;
}

PreviousDrawTexts previousDrawTexts(const DrawAttributes& previous) {
    PreviousDrawTexts t;
    t.txtHisLst = numberList(previous.numbers());
    for (int kind = 0; kind < kKindCount; ++kind)
        t.codes[kind] = codeText(kind, previous.kindValues(kind));
    return t;
}

} // namespace quorvex
