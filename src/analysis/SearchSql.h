#pragma once

#include "DerivedColumns.h"
#include "FollowSearch.h"
#include "ResultTally.h"

#include <functional>

namespace quorvex {

// The set-based statements both searches build on. Each rewrites only the rows whose value
// changes, so a search over an unchanged history writes little.

// Issue of an issue box: the number formed by its last 8 characters.
std::optional<qint64> issueFromBox(const QString& text);

// The text a free-mode test looks for in a code list: "05" for numbers in the follow search,
// else count & "X" & value ("2X03", "1X0").
QString freeToken(int kind, int value, int count, bool numberWithCount);

// Runs one statement with bound values; a readable message on failure.
bool execBound(HistoryStore& store, const QString& sql, const QVariantList& values, QString* error);

// The lagged lists of 前N期 free positions: on row k every kind's txtHisPreLst list and
// txtHisPreLst take the lists of row k - N + 1 (they describe draw k - N); rows 2..N-1 get
// empty texts; the first row keeps its own when N >= 2. Written only where they differ.
bool deriveLaggedLists(HistoryStore& store, DerivedColumns& derived, int n, QString* error);

// The comparison columns of every kind and position: "S" (lastDraw) holds the attribute of the
// draw before, "P" that of the draw N before, 0 where there is none; in "P" mode txtHisPreLst
// too (row k >= 2 and k >= N: txtHisLst of row k - N + 1). Written only where they differ.
bool deriveComparisonColumns(HistoryStore& store, DerivedColumns& derived, bool lastDraw, int n,
                             QString* error);

// Sets intTh of every row to the value of a hit expression (a sum of 0/1 tests), writing only
// the rows whose count changes. Each '?' of the expression is bound from values.
bool setHitCounts(HistoryStore& store, const QString& hitExpression, const QVariantList& values,
                  QString* error);

// One search: checks request, then inside one transaction lets mark() set the working columns
// and lists and tallies the rows selection names within the issue range. When any step fails
// the history is left as it was.
std::optional<FollowResult>
runMarkedSearch(HistoryStore& store, const SearchRequest& request,
                const std::function<bool(DerivedColumns&, QString*)>& mark,
                const Selection& selection, QString* error);

// Hit expressions: how many of the tokens a text column holds; how many comparison columns
// equal their reference values.
QString tokenHits(const QString& column, qsizetype tokens);
QString equalityHits(const QStringList& columns);

} // namespace quorvex
