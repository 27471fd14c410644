#pragma once

#include "AttributeKind.h"
#include "ZodiacTables.h"

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
    Numbers numbers() const;
    // The five values of one kind in position order.
    std::array<int, kPositions> kindValues(int kind) const;
};

DrawAttributes deriveAttributes(const Numbers& numbers, const ZodiacYear& zodiacYear,
                                const ValueBases& bases);

// "03 07 09 11 14 ": each number as two digits followed by a blank.
QString numberList(const Numbers& numbers);

// Code text of one kind: per position count & "X" & value & " ". A value outside the kind's
// counter range has no piece.
QString codeText(int kind, const std::array<int, kPositions>& values);

// The seven texts that describe a draw to the row stored after it.
struct PreviousDrawTexts {
    QString txtHisLst;
    std::array<QString, kKindCount> codes; // indexed by kind: Hm, Sx, Tou, Wei, He, Ds
};
PreviousDrawTexts previousDrawTexts(const DrawAttributes& previous);

} // namespace quorvex
