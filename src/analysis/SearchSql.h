#pragma once

#include "DerivedColumns.h"
#include "FollowSearch.h"

namespace quorvex {

// The set-based statements both searches build on. Each rewrites only the rows whose value
// changes, so a search over an unchanged history writes little.

// Issue of an issue box: the number formed by its last 8 characters.
std::optional<qint64> issueFromBox(const QString& text);

// Checks what a search reads before anything is written; a message for the user otherwise.
bool validateRequest(const SearchRequest& request, QString* error);

// A free-mode pattern of one position: "*05*" for numbers, else "*" & count & "X" & value & "*".
QString freePattern(int kind, int value, int count, bool numberWithCount);

// The lag in draws between a follow draw and the draw it is matched through.
inline int matchLag(const SearchRequest& r) {
    return r.bolSq ? 1 : r.intPreQi;
}

// Runs one statement with bound values; a readable message on failure.
bool execBound(HistoryStore& store, const QString& sql, const QVariantList& values, QString* error);

// Step A for 前N期 free positions: the search kind's txtHisPreLst list and txtHisPreLst on row
// k take the lists of row k - N + 1; rows 2..N-1 get empty texts; the first row keeps its own
// when N >= 2. Skipped when already derived for the current history.
bool deriveLaggedLists(HistoryStore& store, DerivedColumns& derived, int kind, int n,
                       QString* error);

// Steps B and C: the comparison column (suffix "S", lag 1, or "P", lag N) of each position
// takes the attribute of the draw the lag before (0 where there is none); in "P" mode
// txtHisPreLst too. Only what is not yet derived is written.
bool deriveComparisonColumns(HistoryStore& store, DerivedColumns& derived, int kind,
                             const QVector<int>& positions, bool lastDraw, int n, QString* error);

// Sets intTh of every row to the value of a hit expression (a sum of 0/1 tests), writing only
// the rows whose count changes. Each '?' of the expression is bound from values.
bool setHitCounts(HistoryStore& store, const QString& hitExpression, const QVariantList& values,
                  QString* error);

// Hit expressions: the number of patterns a text column holds; the number of comparison
// columns that equal their reference values.
QString patternHits(const QString& column, qsizetype patterns);
QString equalityHits(const QStringList& columns);

} // namespace quorvex
