#pragma once

#include "ReferenceDraw.h"

#include "draw/DrawRecord.h"

#include <QString>

#include <array>
#include <optional>

namespace quorvex {

// Everything a search reads: the search options, the reference values, the ticked positions
// and the issue range.
struct SearchRequest {
    bool bolZyw = true;     // free positions (自由位); false: fixed (固定位)
    bool bolSq = true;      // 上期; false: 前N期 with N = intPreQi
    int intPreQi = 2;       // N of 前N期, 1..9
    int intLei = 0;         // search kind 0..5
    int intXianshiLei = 0;  // result kind 0..5
    bool bolManual = false; // reference values typed, not read from a draw
    RefValues intRefVal{};
    std::array<bool, kPositions> bolPosSel{};
    qint64 startIssue = 0; // first issue of the follow draws (the range's start)
    qint64 endIssue = 0;   // last issue of the follow draws (the range's end)
    ValueBases bases;
    // Whether the follow draws are listed (matchRows) or only tallied: a list reads each earlier
    // draw's numbers as stored, which a tally never needs.
    bool listFollowDraws = true;

    // The draws a follow draw is matched through lie this many draws before it.
    int lag() const { return bolSq ? 1 : intPreQi; }
};

// The issue a typed text names: the number formed by its last 8 characters.
std::optional<qint64> issueFromTypedText(const QString& text);

// Checks what a search reads: the kinds, N, the issue range and typed reference values of the
// ticked positions. A message for the user otherwise.
bool validateRequest(const SearchRequest& request, QString* error);

// Checks the number of combined positions of the combination search (1..5).
bool validateCombinedPositions(int k, QString* error);

} // namespace quorvex
