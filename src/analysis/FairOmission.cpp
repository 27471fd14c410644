#include "FairOmission.h"

#include "ChanceBaseline.h"

#include <algorithm>
#include <array>
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

// P(longest run of misses >= k) over draws 1..n missing with chances q[t] (q[0] unused), whose
// stretches of one chance are the runs. a[t] is the chance that draw t came with no k misses in
// a row before it (a[0]: the start); s the chance that no k misses ran so far. Each draw loses
// the paths whose k-th miss in a row it is. Inside a long stretch the chain soon settles into
// losing the same share of s every draw; once that share holds for k draws (to 1e-13) the rest
// of the stretch is taken in one step.
double chanceAtLeast(const std::vector<AbsentRun>& runs, const std::vector<double>& q, qsizetype k,
                     std::vector<double>& a, std::vector<double>& kept) {
    a[0] = 1;
    double s = 1, lost = 0;
    double window = 1; // the product of q over draws t-k+1..t (fewer at the start)
    qsizetype t = 0;
    for (const AbsentRun& run : runs) {
        const qsizetype start = t + 1, end = t + run.draws;
        double lastShare = -1;
        qsizetype steady = 0;
        while (t < end) {
            ++t;
            const double miss = q[std::size_t(t)];
            if (t <= k) {
                window *= miss;
            } else if (t - k + 1 == start) {
                window = std::pow(miss, double(k)); // wholly inside the stretch: no drift kept
            } else if (const double left = q[std::size_t(t - k)]; left != miss) {
                if (left > 0) {
                    window = window * miss / left;
                } else {
                    window = 1;
                    for (qsizetype u = t - k + 1; u <= t; ++u)
                        window *= q[std::size_t(u)];
                }
            }
            a[std::size_t(t)] = (1 - miss) * s;
            if (t < k)
                continue;
            const double loss = a[std::size_t(t - k)] * window;
            const double share = s > 0 ? loss / s : 0;
            s -= loss;
            lost += loss;
            if (t - k < start)
                continue;
            steady = std::abs(share - lastShare) <= 1e-13 * share ? steady + 1 : 0;
            lastShare = share;
            if (steady < k || end - t <= k)
                continue;
            const double drawsLeft = double(end - t);
            const double factor = std::exp(drawsLeft * std::log1p(-share));
            lost += s * -std::expm1(drawsLeft * std::log1p(-share));
            s *= factor;
            for (qsizetype j = 0; j < k; ++j)
                kept[std::size_t(j)] = a[std::size_t(t - j)] * factor;
            for (qsizetype j = 0; j < k; ++j)
                a[std::size_t(end - j)] = kept[std::size_t(j)];
            t = end;
        }
    }
    return std::clamp(lost, 0.0, 1.0);
}

} // namespace

double absentChance(int m) {
    return fiveOf(15 - m) / fiveOf(15);
}

double expectedLongestMissRun(const std::vector<AbsentRun>& runs) {
    std::vector<AbsentRun> stretches;
    std::vector<double> q{1};
    for (const AbsentRun& r : runs) {
        if (r.draws <= 0)
            continue;
        if (!stretches.empty() && stretches.back().chance == r.chance)
            stretches.back().draws += r.draws;
        else
            stretches.push_back(r);
        q.insert(q.end(), std::size_t(r.draws), r.chance);
    }
    const qsizetype n = qsizetype(q.size()) - 1;
    std::vector<double> a(q.size()), kept;
    double expected = 0;
    for (qsizetype k = 1; k <= n; ++k) {
        kept.resize(std::size_t(k));
        const double atLeast = chanceAtLeast(stretches, q, k, a, kept);
        if (atLeast < 1e-12)
            break;
        expected += atLeast;
    }
    return expected;
}

std::vector<QVector<int>> spanNumbersPerValue(const TrendFigures& trend) {
    // The zodiac's repeats every twelve years.
    std::array<std::optional<QVector<int>>, 12> mOfCycle;
    std::vector<QVector<int>> out;
    ZodiacYear zodiacYear;
    for (const YearSpan& span : trend.years) {
        auto& m = mOfCycle[std::size_t(((span.year % 12) + 12) % 12)];
        if (!m) {
            zodiacYear.setYear(span.year);
            m = numbersPerValue(trend.kind, zodiacYear, trend.bases);
        }
        out.push_back(*m);
    }
    return out;
}

OmissionOdds::OmissionOdds(const TrendFigures& trend) : trend_(&trend) {
    for (const QVector<int>& m : spanNumbersPerValue(trend)) {
        std::vector<double> logs;
        for (const int mv : m)
            logs.push_back(std::log(absentChance(mv)));
        logAbsent_.push_back(std::move(logs));
    }
}

double OmissionOdds::chance(qsizetype row, int value) const {
    qint64 left = trend_->omission(row, value);
    const auto& years = trend_->years;
    // The span of the row, then back through the spans the omission reaches.
    auto span = std::upper_bound(years.begin(), years.end(), row,
                                 [](qsizetype r, const YearSpan& s) { return r < s.begin; }) -
                1;
    double sum = 0;
    for (qsizetype at = row; left > 0 && span >= years.begin(); --span) {
        const qint64 draws = std::min<qint64>(left, at - span->begin + 1);
        sum += double(draws) * logAbsent_[std::size_t(span - years.begin())][std::size_t(value)];
        left -= draws;
        at = span->begin - 1;
    }
    return std::exp(sum);
}

int OmissionOdds::band(qsizetype row, int value) const {
    if (trend_->drawnCount(row, value) > 0)
        return 0;
    const double p = chance(row, value);
    return p >= 0.1 ? 1 : p >= 0.01 ? 2 : 3;
}

QVector<FairValueFigures> fairOmission(const TrendFigures& trend) {
    const int count = trend.valueCount();
    const std::vector<QVector<int>> mOfSpan = spanNumbersPerValue(trend);

    using Pattern = std::vector<std::pair<qint64, int>>; // (draws, m), neighbours merged
    std::map<Pattern, double> longestOf;
    QVector<FairValueFigures> out(count);
    for (int v = 0; v < count; ++v) {
        FairValueFigures& f = out[v];
        Pattern pattern;
        for (std::size_t i = 0; i < trend.years.size(); ++i) {
            const qint64 draws = trend.years[i].end - trend.years[i].begin;
            const int m = mOfSpan[i][v];
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
