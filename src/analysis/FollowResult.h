#pragma once

#include "GridRows.h"

#include <QStringList>
#include <QVector>

#include <algorithm>
#include <optional>

namespace quorvex {

// What the two result grids and the chart show after a search (ShowFollowResults).
struct FollowResult {
    QStringList matchHeader; // the match grid: 期号, 第1码..第5码, 上期开奖 / 前期开奖
    GridRows matchRows;      // one per follow draw, in issue order
    QStringList resultHeader;        // the result grid: 序号, 结果, 出现次数, 百分比
    QVector<QStringList> resultRows; // ranked by count, ties in ascending value
    struct Bar {
        int value;
        QString label; // the value, or the zodiac name in zodiac mode
        qint64 count;
    };
    QVector<Bar> bars;       // every value of the result kind, in value order
    QVector<int> resultBars; // the bar of each row of resultRows
    qint64 followDraws = 0;
    QVector<qint64> followIssues; // the issue of each follow draw, in issue order
    // What the results' title adds about how the draws were chosen; empty for most searches.
    QString note;

    // Each bar against chance: what D fair draws give, each under its own zodiac year.
    struct Baseline {
        double expected = 0;              // sum over the follow draws of 5 m / 15
        std::optional<double> ratio;      // count / expected; none when expected is 0
        std::optional<double> z;          // none: no test (too few draws, no variance)
        std::optional<double> p;          // two-sided, normal
        std::optional<double> correctedP; // Holm over the kind's values
        bool marked = false;              // corrected p below kMarkLevel
    };
    QVector<Baseline> baseline; // parallel to bars
    int markedCount() const {
        return int(std::count_if(baseline.cbegin(), baseline.cend(),
                                 [](const Baseline& b) { return b.marked; }));
    }
};

} // namespace quorvex
