#include "DrawRecord.h"

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

namespace {

// Appends a small non-negative number, with a leading zero below 10 when twoDigits.
void appendNumber(QString& out, int n, bool twoDigits) {
    if (n < 0 || n > 99) {
        out +=
            twoDigits ? QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) : QString::number(n);
        return;
    }
    if (n >= 10 || twoDigits)
        out += QLatin1Char(char('0' + n / 10));
    out += QLatin1Char(char('0' + n % 10));
}

} // namespace

QString numberList(const Numbers& numbers) {
    QString out;
    out.reserve(3 * kPositions);
    for (int n : numbers) {
        appendNumber(out, n, true);
        out += QLatin1Char(' ');
    }
    return out;
}

QString codeText(int kind, const std::array<int, kPositions>& values) {
    const ValueRange range = counterRange(kind);
    const bool twoDigits = kindUsesTwoDigits(kind);
    std::array<int, 16> counters{};
    QString out;
    out.reserve(5 * kPositions);
    for (int v : values) {
        if (!range.contains(v))
            continue;
        appendNumber(out, ++counters[v], false);
        out += QLatin1Char('X');
        appendNumber(out, v, twoDigits);
        out += QLatin1Char(' ');
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
