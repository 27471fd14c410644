#pragma once

#include "draw/AttributeKind.h"
#include "draw/DrawRecord.h"
#include "store/HistorySnapshot.h"

#include <QString>
#include <QVector>

#include <array>
#include <optional>
#include <vector>

namespace quorvex {

// The columns the trend reads: the five numbers (each draw's values are derived from them under
// the current bases and the draw's own zodiac year, whatever attributes are stored).
QVector<int> trendColumns();

// The kind's values over the issues firstIssue..lastIssue.
struct TrendRequest {
    int kind = Number;
    ValueBases bases;
    qint64 firstIssue = 0;
    qint64 lastIssue = 0;
};

// Consecutive rows of a trend that lie in one zodiac year: [begin, end). For the kinds whose
// values do not depend on the year, one span covers every row (year: the first issue's).
struct YearSpan {
    qsizetype begin = 0;
    qsizetype end = 0;
    int year = 0;
};

// What the range says of one value. "Drawn" counts the draws in which the value came (a draw
// giving it twice counts once), so that it pairs with omission, which counts draws without it.
struct ValueTrend {
    qint64 times = 0;           // draws in which the value came
    qint64 currentOmission = 0; // draws since it last came, after the range's last draw
    qint64 longestOmission = 0; // longest run of draws without it, leading and trailing included
    double meanOmission = 0;    // (draws - times) / (times + 1): the mean gap the draws cut
    qint64 longestRun = 0;      // most consecutive draws in which it came
};

// The trend of a kind over a range: per issue which values came and each value's running
// omission, per value its summary. Values are indexed from 0 (value values.lo).
class TrendFigures {
public:
    int kind = Number;
    ValueBases bases;
    ValueRange values{0, -1};
    std::vector<qint64> issues;  // the rows' issues, in order
    std::vector<YearSpan> years; // the rows by zodiac year, in order
    QVector<ValueTrend> summary; // per value

    qsizetype rows() const { return qsizetype(issues.size()); }
    int valueCount() const { return values.count(); }
    // How many of the row's five numbers have the value (0 when it did not come).
    int drawnCount(qsizetype row, int value) const;
    // Draws since the value last came, counting this one (from the range's start before it
    // first came); 0 in a draw that gave it. A search among the draws that gave it: the grid
    // is worked out for the rows shown, not held whole.
    qint64 omission(qsizetype row, int value) const;
    // The row's five values in position order.
    std::array<int, kPositions> drawValues(qsizetype row) const;

private:
    friend std::optional<TrendFigures> trendFigures(const HistorySnapshot&, const TrendRequest&,
                                                    QString*, ZodiacYear*);
    std::vector<std::array<qint8, kPositions>> drawn_; // each row's values
    std::vector<std::vector<qint32>> cameAt_;          // per value the rows that gave it
};

// The trend over the snapshot's rows in the request's range (the snapshot holds trendColumns()).
// Nothing, with the reason, when a row of the range is not five different numbers of 1..15.
// knownYears, when given, keeps the lunar new year cut-offs of the years met (worked out from
// the calendar, tens of microseconds each) for the next trend of its owner.
std::optional<TrendFigures> trendFigures(const HistorySnapshot& snapshot,
                                         const TrendRequest& request, QString* error,
                                         ZodiacYear* knownYears = nullptr);

} // namespace quorvex
