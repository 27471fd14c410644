#pragma once

#include "SearchPlan.h"
#include "SearchRequest.h"

#include "store/HistorySnapshot.h"

#include <QByteArrayList>
#include <QVector>

#include <optional>
#include <string_view>
#include <vector>

namespace quorvex {

// The row whose code texts describe the draw a follow draw at row is matched through: the row
// itself in 上期 mode (a row's texts describe the draw before it), N - 1 rows back in 前N期
// mode. -1 when there is none.
inline qsizetype listRow(qsizetype row, const SearchRequest& r) {
    const qsizetype at = row - (r.lag() - 1);
    return at >= 0 ? at : -1;
}

// The row of the draw the lag before a follow draw at row; -1 when there is none.
inline qsizetype earlierRow(qsizetype row, const SearchRequest& r) {
    const qsizetype at = row - r.lag();
    return at >= 0 ? at : -1;
}

// The text a free-mode test looks for in a code text: "05" for numbers in the follow search,
// else count & "X" & value ("2X03", "1X0").
QByteArray freeToken(int kind, int value, int count, bool numberWithCount);

// Tokens looked for in code texts.
class TokenSet {
public:
    explicit TokenSet(QByteArrayList tokens);
    // How many of the tokens the text holds, each counted as often as it is listed.
    int hits(QByteArrayView text) const;

private:
    QByteArrayList tokens_;
    std::vector<std::string_view> views_;
};

// The reference's tokens as bits: those of the ticked positions (every position for the
// combination search, which skips values no counter holds), counted as the tokens of freeToken.
// Nothing when a token has no bit (a count 0, or a number outside 0..15): only a substring test
// then tells which texts hold it.
std::optional<Tokens> referenceTokens(const SearchRequest& r, const RefValues& ref,
                                      bool combination);

// The attribute of the draw the lag before row at a position: 0 where there is none.
inline int earlierValue(const HistorySnapshot& s, qsizetype row, int position1,
                        const SearchRequest& r) {
    const qsizetype at = earlierRow(row, r);
    return at < 0 ? 0 : s.value(HistorySnapshot::attribute(position1, r.intLei), at);
}

// Appends to rows, in order, each follow draw of the plan whose earlier draw agrees with the
// reference at no fewer than `least` of the positions (1..5), as earlierValue compares them, with
// whole byte columns compared at a time. False, adding nothing, when a position's column is not
// held as bytes.
bool agreeingRows(const SearchPlan& plan, const QVector<int>& positions, int least,
                  std::vector<qsizetype>& rows);

// The snapshot columns a search of the request reads: the search kind's code texts (free) or
// attributes (fixed), the result kind's attributes and txtHisLst.
QVector<int> searchColumns(const SearchRequest& r);

} // namespace quorvex
