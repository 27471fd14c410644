#pragma once

#include "draw/DrawRecord.h"

#include <QString>

#include <array>
#include <optional>

namespace quorvex {

// The typed-draw boxes MaskEdBox1(1..5) show two places, "_" marking an empty one.

// A box is complete once its second place holds a digit.
bool entryBoxComplete(const QString& displayText);

// A box holding one digit ("8_" or "_8"), as Enter or Tab completes it: "08". Nothing for an
// empty or complete box.
std::optional<QString> oneDigitEntry(const QString& displayText);

// The number in a box: its digits ("07" and "7_" give 7); an empty box gives 0.
int enteredNumber(const QString& displayText);
Numbers enteredNumbers(const std::array<QString, kPositions>& displayTexts);

// Why five typed numbers cannot be a draw (outside 1..15, or repeated): the message names
// every box at fault, box is the one to correct first (of a repeat, the later one).
struct EntryRefusal {
    QString message;
    int box = 5;
};
// Nothing when the numbers are a draw.
std::optional<EntryRefusal> entryRefusal(const Numbers& numbers);

} // namespace quorvex
