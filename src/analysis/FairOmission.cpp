#include "FairOmission.h"

#include "ChanceBaseline.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

namespace quorvex {

namespace {

double fiveOf(int n) {
    if (n < 5)
        return 0;
    double c = 1;
    for (int i = 0; i < 5; ++i)
        c = c * double(n - i) / double(i + 1);
    return c;
}

// P(longest run of misses < k) over the draws' miss chances q (q[0] unused). a[t] is the chance
// that draw t came and no k misses ran before it (a[0]: the start); s the chance that no k
// misses ran up to now, which loses at each draw the paths whose k-th miss in a row it is.
double chanceBelow(const std::vector<double>& q, qsizetype k, std::vector<double>& a) {
    const qsizetype n = qsizetype(q.size()) - 1;
    a[0] = 1;
    double s = 1;
    double window = 1; // product of q over the last k draws (fewer at the start)
    for (qsizetype t = 1; t <= n; ++t) {
        if (t <= k) {
            window *= q[std::size_t(t)];
        } else if (q[std::size_t(t)] != q[std::size_t(t - k)]) {
            // Worked out afresh where the chances change, so no division drifts or meets 0.
            window = 1;
            for (qsizetype u = t - k + 1; u <= t; ++u)
                window *= q[std::size_t(u)];
        }
        a[std::size_t(t)] = (1 - q[std::size_t(t)]) * s;
        if (t >= k)
            s -= a[std::size_t(t - k)] * window;
    }
    return std::clamp(s, 0.0, 1.0);
}

} // namespace

double absentChance(int m) {
    return fiveOf(15 - m) / fiveOf(15);
}

double expectedLongestMissRun(const std::vector<AbsentRun>& runs) {
    std::vector<double> q{1};
    for (const AbsentRun& r : runs)
        q.insert(q.end(), std::size_t(std::max<qint64>(0, r.draws)), r.chance);
    const qsizetype n = qsizetype(q.size()) - 1;
    std::vector<double> a(q.size());
    double expected = 0;
    for (qsizetype k = 1; k <= n; ++k) {
        const double atLeast = 1 - chanceBelow(q, k, a);
        if (atLeast < 1e-12)
            break;
        expected += atLeast;
    }
    return expected;
}

QVector<FairValueFigures> fairOmission(const TrendFigures& trend) {
    const int count = trend.valueCount();
    // m of each value in each span; the zodiac's repeats every twelve years.
    std::array<std::optional<QVector<int>>, 12> mOfCycle;
    std::vector<const QVector<int>*> mOfSpan;
    ZodiacYear zodiacYear;
    for (const YearSpan& span : trend.years) {
        auto& m = mOfCycle[std::size_t(((span.year % 12) + 12) % 12)];
        if (!m) {
            zodiacYear.setYear(span.year);
            m = numbersPerValue(trend.kind, zodiacYear, trend.bases);
        }
        mOfSpan.push_back(&*m);
    }

    using Pattern = std::vector<std::pair<qint64, int>>; // (draws, m), neighbours merged
    std::map<Pattern, double> longestOf;
    QVector<FairValueFigures> out(count);
    for (int v = 0; v < count; ++v) {
        FairValueFigures& f = out[v];
        Pattern pattern;
        for (std::size_t i = 0; i < trend.years.size(); ++i) {
            const qint64 draws = trend.years[i].end - trend.years[i].begin;
            const int m = (*mOfSpan[i])[v];
            f.expectedTimes += double(draws) * (1 - absentChance(m));
            if (!pattern.empty() && pattern.back().second == m)
                pattern.back().first += draws;
            else
                pattern.emplace_back(draws, m);
        }
        qint64 left = trend.summary[v].currentOmission;
        for (auto it = pattern.rbegin(); it != pattern.rend() && left > 0; ++it) {
            const qint64 take = std::min(left, it->first);
            f.currentOmissionChance *= std::pow(absentChance(it->second), double(take));
            left -= take;
        }
        auto known = longestOf.find(pattern);
        if (known == longestOf.end()) {
            std::vector<AbsentRun> runs;
            for (const auto& [draws, m] : pattern)
                runs.push_back({draws, absentChance(m)});
            known = longestOf.emplace(pattern, expectedLongestMissRun(runs)).first;
        }
        f.expectedLongestOmission = known->second;
    }
    return out;
}

} // namespace quorvex
