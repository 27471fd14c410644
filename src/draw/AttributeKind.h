#pragma once

#include <QString>

#include <array>

namespace quorvex {

// The six attribute kinds share one index everywhere: search kind, result kind, field letters.
enum Kind { Number = 0, Zodiac = 1, Head = 2, Tail = 3, DigitSum = 4, Segment = 5 };
constexpr int kKindCount = 6;
constexpr int kPositions = 5;

// Field letter of a kind: the column of position i is "L" & i & letter.
QString strKindLetter(int kind);
// Suffix of the kind's code-text columns: txtHisLst & suffix, txtHisPreLst & suffix.
QString listSuffix(int kind);
// Chinese caption of a kind (号码, 生肖, ...).
QString kindCaption(int kind);
// Number, zodiac and digit sum are written with two digits in code texts; the others plain.
bool kindUsesTwoDigits(int kind);
// A value of the kind as code texts write it: "07" or "7".
QString kindValueText(int kind, int value);

struct ValueRange {
    int lo;
    int hi;
    int count() const { return hi - lo + 1; }
    bool contains(int v) const { return v >= lo && v <= hi; }
};
// Values a stored draw can hold for the kind under the given bases.
ValueRange kindRange(int kind, int sxIni, int dsIni);
// Range of the occurrence counters of a kind: the values a code piece may carry.
ValueRange counterRange(int kind);

// Column names.
QString attributeColumn(int position, int kind);            // L3B
QString laggedColumn(int position, int kind, QChar suffix); // L3BS, L3BP
QString codeColumn(int kind);                               // txtHisLstSx
QString preCodeColumn(int kind);                            // txtHisPreLstSx

// Parses "number|zodiac|head|tail|sum|segment" or an index 0..5; -1 when unknown.
int parseKind(const QString& text);

} // namespace quorvex
