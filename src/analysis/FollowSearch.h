#pragma once

#include "history/HistoryStore.h"
#include "ReferenceDraw.h"

#include <QStringList>
#include <QVector>

#include <algorithm>
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
    bool bolManual = false; // reference values typed on the second tab
    RefValues intRefVal{};
    std::array<bool, kPositions> bolPosSel{};
    qint64 startIssue = 0; // first issue of the follow draws (Text3(0))
    qint64 endIssue = 0;   // last issue of the follow draws (Text3(1))
    ValueBases bases;
};

// What the two result grids and the chart show after a search (ShowFollowResults).
struct FollowResult {
    QStringList matchHeader; // MSFlexGrid2: 期号, 第1码..第5码, 上期开奖 / 前期开奖
    QVector<QStringList> matchRows;  // one per follow draw, in issue order
    QStringList resultHeader;        // MSFlexGrid3: 序号, 结果, 出现次数, 百分比
    QVector<QStringList> resultRows; // ranked by count, ties in ascending value
    struct Bar {
        int value;
        QString label; // the value, or the zodiac name in zodiac mode
        qint64 count;
    };
    QVector<Bar> bars;       // every value of the result kind, in value order
    QVector<int> resultBars; // the bar of each row of resultRows
    qint64 followDraws = 0;

    // Each bar against chance: what D draws of the issue range give on average.
    struct Baseline {
        double expected = 0;              // D * mean per draw over the range
        std::optional<double> ratio;      // count / expected; none when expected is 0
        std::optional<double> z;          // none: no test (too few draws, D = N, no variance)
        std::optional<double> p;          // two-sided, normal
        std::optional<double> correctedP; // Holm over the kind's values
        bool marked = false;              // corrected p below kMarkLevel
    };
    QVector<Baseline> baseline; // parallel to bars
    qint64 rangeDraws = 0;      // N: the draws of the issue range
    int markedCount() const {
        return int(std::count_if(baseline.cbegin(), baseline.cend(),
                                 [](const Baseline& b) { return b.marked; }));
    }
};

// Issue of an issue box: the number formed by its last 8 characters.
std::optional<qint64> issueFromBox(const QString& text);

// Checks what a search reads before anything is written: the kinds, N, the issue range and
// typed reference values of the ticked positions. A message for the user otherwise.
bool validateRequest(const SearchRequest& request, QString* error);

// Command1_Click: the follow search. Bad input (a range that ends before it starts, a reference
// value outside the search kind, N outside 1..9) gives nothing and a message in error; the
// history and its working columns are then left as they were.
std::optional<FollowResult> runFollowSearch(HistoryStore& store, const SearchRequest& request,
                                            QString* error);

// Command2_Click: the combination search over every group of k positions.
std::optional<FollowResult> runCombinationSearch(HistoryStore& store, const SearchRequest& request,
                                                 int k, QString* error);

} // namespace quorvex
