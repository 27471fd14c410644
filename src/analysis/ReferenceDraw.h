#pragma once

#include "draw/AttributeKind.h"

#include <QString>

#include <array>
#include <optional>

namespace quorvex {

using RefValues = std::array<int, kPositions>;

// How a reference value is written: the zodiac name in zodiac mode, else the number.
// Nothing when a zodiac value has no name under the base (whoever shows it keeps its text).
std::optional<QString> referenceValueText(int kind, int value, int sxIni);

// The issue before a typed verification issue: T - 1, or issue 359 of the previous year after an
// issue ending in "001". Nothing when the text is not an issue number.
std::optional<qint64> issueBefore(const QString& text);

} // namespace quorvex
