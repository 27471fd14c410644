#include "BacktestCurves.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

BacktestCurves backtestCurves(const BacktestResult& result) {
    BacktestCurves c;
    double hits = 0;
    double expected = 0;
    double variance = 0;
    auto add = [&] {
        const double spread = 2 * std::sqrt(variance);
        c.hits << hits;
        c.expected << expected;
        c.low << std::max(0.0, expected - spread);
        c.high << expected + spread;
    };
    add();
    for (const BacktestRow& row : result.rows) {
        hits += row.hits;
        expected += row.expected;
        variance += row.variance;
        add();
    }
    return c;
}

} // namespace quorvex
