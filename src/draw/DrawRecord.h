#pragma once

#include "AttributeKind.h"
#include "ZodiacTables.h"

#include <QByteArrayView>
#include <QString>
#include <QVector>

#include <array>

namespace quorvex {

using Numbers = std::array<int, kPositions>;

// The value bases a draw is derived under (settings SxIni and DsIni, 0 or 1 each).
struct ValueBases {
    int sxIni = 1;
    int dsIni = 1;
};

// Why five numbers cannot be a draw: a draw is five different numbers of 1..15.
struct DrawFault {
    enum Kind { OutOfRange, Repeated };
    Kind kind;
    int position;        // 1..5
    int earlierPosition; // Repeated: where the number stood first
    int number;
};
// Every fault in position order; empty for a valid draw.
QVector<DrawFault> drawFaults(const Numbers& numbers);

// Every derived attribute of one draw: value[position 0..4][kind 0..5].
struct DrawAttributes {
    std::array<std::array<int, kKindCount>, kPositions> value{};

    int at(int position1, int kind) const { return value[position1 - 1][kind]; }
    Numbers numbers() const { return kindValues(Number); }
    // The five values of one kind in position order.
    std::array<int, kPositions> kindValues(int kind) const {
        std::array<int, kPositions> out{};
        for (int i = 0; i < kPositions; ++i)
            out[i] = value[i][kind];
        return out;
    }
};

// A stored draw: its issue and every attribute as stored.
struct StoredDraw {
    qint64 issue = 0;
    DrawAttributes attributes;
};

// A draw as the history grid and the history text files show it: issue and five numbers.
struct DrawNumbers {
    qint64 issue = 0;
    Numbers numbers{};
    friend bool operator==(const DrawNumbers&, const DrawNumbers&) = default;
};

DrawAttributes deriveAttributes(const Numbers& numbers, const ZodiacYear& zodiacYear,
                                const ValueBases& bases);

// The value of a kind that each number 1..15 has in a zodiac year under the bases (index 0 is
// unused). Every kind is a function of the number alone once year and bases are fixed.
using NumberValues = std::array<qint8, 16>;
NumberValues numberValues(int kind, const ZodiacYear& zodiacYear, const ValueBases& bases);

// A number list or code text as ASCII bytes, built without allocating: the writers of many
// rows bind these directly. Holds the longest such text (five numbers of any int).
class AsciiText {
public:
    void append(char c) { bytes_[size_++] = c; }
    // A leading zero below 10 when twoDigits; a value outside 0..99 in plain decimal.
    void appendNumber(int n, bool twoDigits) {
        if (n < 0 || n > 99)
            return appendDecimal(n);
        if (n >= 10 || twoDigits)
            append(char('0' + n / 10));
        append(char('0' + n % 10));
    }
    QByteArrayView bytes() const { return {bytes_.data(), size_}; }
    QString toString() const { return QString::fromLatin1(bytes_.data(), size_); }

private:
    void appendDecimal(int n);

    std::array<char, 64> bytes_{};
    qsizetype size_ = 0;
};

// "03 07 09 11 14 ": each number as two digits followed by a blank.
AsciiText numberListText(const Numbers& numbers);
inline QString numberList(const Numbers& numbers) {
    return numberListText(numbers).toString();
}

// Code text of one kind: per position count & "X" & value & " ". A value outside the kind's
// counter range has no piece.
AsciiText codeAsciiText(int kind, const std::array<int, kPositions>& values);
inline QString codeText(int kind, const std::array<int, kPositions>& values) {
    return codeAsciiText(kind, values).toString();
}

} // namespace quorvex
