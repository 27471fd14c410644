#include "DrawRecord.h"

#include <charconv>

namespace quorvex {

QVector<DrawFault> drawFaults(const Numbers& numbers) {
    QVector<DrawFault> faults;
    for (int i = 0; i < kPositions; ++i) {
        const int n = numbers[i];
        if (n < 1 || n > 15) {
            faults.append({DrawFault::OutOfRange, i + 1, 0, n});
            continue;
        }
        for (int j = 0; j < i; ++j) {
            if (numbers[j] == n) {
                faults.append({DrawFault::Repeated, i + 1, j + 1, n});
                break;
            }
        }
    }
    return faults;
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

NumberValues numberValues(int kind, const ZodiacYear& zodiacYear, const ValueBases& bases) {
    NumberValues table{};
    // Derived as any stored draw is: the numbers 1..15 in three draws of five.
    for (int first = 1; first <= 15; first += kPositions) {
        const DrawAttributes a = deriveAttributes(
            {first, first + 1, first + 2, first + 3, first + 4}, zodiacYear, bases);
        for (int i = 0; i < kPositions; ++i)
            table[std::size_t(first + i)] = qint8(a.value[i][kind]);
    }
    return table;
}

void AsciiText::appendDecimal(int n) {
    const auto end = std::to_chars(bytes_.data() + size_, bytes_.data() + bytes_.size(), n).ptr;
    size_ = end - bytes_.data();
}

AsciiText numberListText(const Numbers& numbers) {
    AsciiText out;
    for (int n : numbers) {
        out.appendNumber(n, true);
        out.append(' ');
    }
    return out;
}

AsciiText codeAsciiText(int kind, const std::array<int, kPositions>& values) {
    const ValueRange range = counterRange(kind);
    const bool twoDigits = kindUsesTwoDigits(kind);
    std::array<int, 16> counters{};
    AsciiText out;
    for (int v : values) {
        if (!range.contains(v))
            continue;
        out.appendNumber(++counters[v], false);
        out.append('X');
        out.appendNumber(v, twoDigits);
        out.append(' ');
    }
    return out;
}

} // namespace quorvex
