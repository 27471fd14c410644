#pragma once

#include "analysis/FollowResult.h"
#include "analysis/SearchRequest.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quorvex {

// The headings of a run's results name every option it used, so that two runs that differ in
// one option never read alike.

// Where the reference values of a search came from.
struct ReferenceOrigin {
    enum class Kind { Draw, Typed, Verification };
    Kind kind = Kind::Draw;
    // Draw: the reference draw's issue; Verification: the issue whose draw is foreseen.
    std::optional<qint64> issue;
};

// The search and its mode: "检索（自由位）", or "组合检索（2位，固定位）" for the combination
// search over combinedPositions (0: the follow search).
QString searchKindText(const SearchRequest& request, int combinedPositions);

// The options both a search and its backtest name, in this order: the positions matched (every
// position for the combination search), the draw matched through, the kinds and the bases.
QStringList searchOptionTexts(const SearchRequest& request, int combinedPositions);

// The heading of a search's results: the search, its options, the reference values and where
// they came from, the issue range, then how many follow draws were tallied and the result's note.
QString searchCaption(const SearchRequest& request, int combinedPositions,
                      const ReferenceOrigin& origin, const FollowResult& result);

} // namespace quorvex
