#pragma once

#include "history/HistoryView.h"

#include <QString>

#include <array>
#include <optional>

namespace quorvex {

using RefValues = std::array<int, kPositions>;

// SeekRefDraw: the position of the reference draw in the view: the last draw, or in 前N期
// mode the intPreQi-th draw from the end. -1 when there is no such draw.
qsizetype SeekRefDraw(const HistoryView& view, bool bolSq, int intPreQi);

// The five values of one kind of the draw at a position; nothing when there is no draw there.
std::optional<RefValues> referenceValuesAt(const HistoryView& view, qsizetype position, int kind);

// SetStartIssue: the earliest issue that can be a follow draw: the first issue plus 1 in 上期
// mode, plus N in 前N期 mode. Nothing for an empty history.
std::optional<qint64> SetStartIssue(const HistoryView& view, bool bolSq, int n);

// How a reference value is shown in its box: the zodiac name in zodiac mode, else the number.
// Nothing when a zodiac value has no name under the base (the box keeps its text).
std::optional<QString> referenceValueText(int kind, int value, int sxIni);

} // namespace quorvex

namespace quorvex {

// The issue before the one typed in Text4: T - 1, or issue 359 of the previous year after an
// issue ending in "001". Nothing when the text is not an issue number.
std::optional<qint64> issueBefore(const QString& text);

// YSJS: the position of the verification reference draw: the last draw whose issue is at most
// target, moved back intPreQi - 1 draws in 前N期 mode. -1 when there is none.
qsizetype verificationDraw(const HistoryView& view, qint64 target, bool bolSq, int intPreQi);

} // namespace quorvex
