#pragma once

#include "HistoryMirror.h"

#include <QByteArrayList>

namespace quorvex {

// The working cells one search changes: set in the mirror at once, written to the history
// together by write(), row by row, only where a value changed.
class WorkingCells {
public:
    explicit WorkingCells(HistoryMirror& mirror);

    HistoryMirror& mirror() { return mirror_; }
    void set(int column, qsizetype row, qint32 value) {
        if (mirror_.set(column, row, value))
            changed_[row][column / 64] |= quint64(1) << (column % 64);
    }
    qsizetype changedRows() const;

    // One UPDATE per changed row, through statements prepared once per set of changed columns.
    // Call inside the search's transaction.
    bool write(HistoryStore& store, QString* error);

private:
    HistoryMirror& mirror_;
    std::vector<std::array<quint64, 2>> changed_;
};

// The mirror columns the two derivations below read and write.
QVector<int> laggedListColumns();
QVector<int> comparisonColumns(bool lastDraw);

// The lagged lists of 前N期 free positions: on row k every kind's txtHisPreLst list and
// txtHisPreLst take the lists of row k - N + 1 (they describe draw k - N); rows 2..N-1 get
// empty texts; the first row keeps its own when N >= 2.
void deriveLaggedLists(WorkingCells& cells, int n);

// The comparison columns of every kind and position: "S" (lastDraw) holds the attribute of the
// draw before, "P" that of the draw N before, 0 where there is none; in "P" mode txtHisPreLst
// too (row k >= 2 and k >= N: txtHisLst of row k - N + 1; the first row keeps its text).
void deriveComparisonColumns(WorkingCells& cells, bool lastDraw, int n);

// The text a free-mode test looks for in a code list: "05" for numbers in the follow search,
// else count & "X" & value ("2X03", "1X0").
QByteArray freeToken(int kind, int value, int count, bool numberWithCount);

// Per row, how many of the tokens the text column holds (each token counted as often as it is
// listed).
std::vector<qint32> tokenHits(const HistoryMirror& mirror, int textColumn,
                              const QByteArrayList& tokens);

// Per row, how many of the integer columns equal their reference value.
std::vector<qint32> equalityHits(const HistoryMirror& mirror, const QVector<int>& columns,
                                 const QVector<int>& values);

} // namespace quorvex
