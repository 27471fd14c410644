#include "FairOmission.h"

#include "ChanceBaseline.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

namespace quorvex {

namespace {

#if defined(__GNUC__) && defined(__x86_64__)
// Code run before (a library's vector routines) may leave the upper halves of the vector
// registers in use; the plain SSE arithmetic of the chain then waits on them at every step, up
// to ten times slower. Clearing them first (where the processor has them) keeps the loop at its
// speed.
__attribute__((target("avx"))) void clearUpperHalves() {
    __builtin_ia32_vzeroupper();
}
void clearVectorState() {
    if (__builtin_cpu_supports("avx"))
        clearUpperHalves();
}
#else
void clearVectorState() {}
#endif

double fiveOf(int n) {
    if (n < 5)
        return 0;
    double c = 1;
    for (int i = 0; i < 5; ++i)
        c = c * double(n - i) / double(i + 1);
    return c;
}

// How the chain, settled at the end of a stretch of one chance, passes into a stretch of another
// until it settles there: the same for every such passage up to its scale, since the settled
// state is always a multiple of one shape.
struct Passage {
    double from = 0, to = 0;
    qsizetype draws = 0;       // until settled
    double kept = 0;           // s after it, per s before
    double lost = 0;           // lost during it, per s before
    double share = 0;          // share of s lost per draw once settled
    std::vector<double> shape; // a(t - j) / s once settled
};

// What the chain works in, kept from one k to the next so that it allocates nothing.
struct ChainWork {
    std::vector<double> ring;         // a of the last k + 1 draws
    std::vector<double> settledShape; // of the stretch last settled draw by draw
    std::vector<Passage> passages;    // the first `used` are this k's
    std::size_t used = 0;
};

// P(longest run of misses >= k) over the draws of the runs, each stretch of them missing with
// its chance. a(t) is the chance that draw t came with no k misses in a row before it (a(0): the
// start); s the chance that no k misses ran so far. Each draw loses the paths whose k-th miss
// in a row it is. Only the last k + 1 of a are held. Inside a long stretch the chain soon
// settles into losing the same share of s every draw; once that share holds for k draws (to
// 1e-13) the rest of the stretch is taken in one step, and a passage between two chances met
// before is taken as it went then.
double chanceAtLeast(const std::vector<AbsentRun>& runs, qsizetype k, ChainWork& work) {
    const auto mask = std::size_t(std::bit_ceil(std::size_t(k + 1)) - 1);
    std::vector<double>& ring = work.ring;
    std::vector<double>& settledShape = work.settledShape;
    work.used = 0;
    ring.assign(mask + 1, 0);
    auto a = [&](qsizetype t) -> double& { return ring[std::size_t(t) & mask]; };
    a(0) = 1;
    double s = 1, lost = 0;
    double window = 1; // the product of the chances of draws t-k+1..t (fewer at the start)
    qsizetype t = 0;
    // Settled at the end of the stretch before: a(t - j) = shape[j] * s, written only when the
    // next stretch is walked draw by draw. Which shape: a passage's, settledShape (-1), or none.
    constexpr int kNoShape = -2;
    int shape = kNoShape;
    auto shapeAt = [&](int which) -> const std::vector<double>& {
        return which < 0 ? settledShape : work.passages[std::size_t(which)].shape;
    };
    double before = -1; // the chance of the stretch before
    for (auto run = runs.begin(); run != runs.end(); ++run) {
        const qsizetype start = t + 1, end = t + run->draws;
        const double entry = s, lostAtEntry = lost;
        const bool fromSettled = shape != kNoShape && entry > 0;
        const double from = before;
        before = run->chance;
        int known = -1;
        for (std::size_t i = 0; i < work.used && known < 0; ++i)
            if (work.passages[i].from == from && work.passages[i].to == run->chance)
                known = int(i);
        // The rest of the stretch from the settled draw t, losing share of s each draw.
        auto settle = [&](double share) {
            const double rate = double(end - t) * std::log1p(-share);
            // Past e^-700 nothing is left (and exp would take its slow path to say so).
            const double left = rate < -700 ? 0 : std::exp(rate);
            lost += rate < -700 ? s : s * -std::expm1(rate);
            s *= left;
            t = end;
            window = std::pow(run->chance, double(k));
        };
        if (fromSettled && known >= 0 &&
            end - (start - 1 + work.passages[std::size_t(known)].draws) > k) {
            const Passage& p = work.passages[std::size_t(known)];
            t = start - 1 + p.draws;
            s = entry * p.kept;
            lost = lostAtEntry + entry * p.lost;
            shape = known;
            settle(p.share);
            if (s < 1e-30)
                return 1;
            continue;
        }
        if (shape != kNoShape) {
            const std::vector<double>& settledAs = shapeAt(shape);
            for (qsizetype j = 0; j < k; ++j)
                a(t - j) = settledAs[std::size_t(j)] * s;
            shape = kNoShape;
        }
        // The chance of a draw before this stretch, for the window.
        auto chanceAt = [&](qsizetype u) {
            auto r = run;
            for (qsizetype first = start; u < first;)
                first -= (--r)->draws;
            return r->chance;
        };
        const double miss = run->chance;
        double lastShare = -1;
        qsizetype steady = 0;
        while (t < end) {
            ++t;
            if (t <= k) {
                window *= miss;
            } else if (t - k + 1 == start) {
                window = std::pow(miss, double(k)); // wholly inside the stretch: no drift kept
            } else if (t - k < start) {
                const double left = chanceAt(t - k);
                if (left > 0) {
                    window = window * miss / left;
                } else {
                    window = 1;
                    for (qsizetype u = t - k + 1; u <= t; ++u)
                        window *= u < start ? chanceAt(u) : miss;
                }
            }
            const double loss = t >= k ? a(t - k) * window : 0;
            a(t) = (1 - miss) * s;
            const double share = s > 0 ? loss / s : 0;
            s -= loss;
            lost += loss;
            // What is left can add no more than s: call it certain before s sinks into the
            // slow subnormal numbers.
            if (s < 1e-30)
                return 1;
            if (t - k < start)
                continue;
            steady = std::abs(share - lastShare) <= 1e-13 * share ? steady + 1 : 0;
            lastShare = share;
            if (steady < k || end - t <= k)
                continue;
            settledShape.resize(std::size_t(k));
            for (qsizetype j = 0; j < k; ++j)
                settledShape[std::size_t(j)] = a(t - j) / s;
            shape = -1;
            if (fromSettled && known < 0) {
                if (work.used == work.passages.size())
                    work.passages.emplace_back();
                Passage& p = work.passages[work.used++];
                p.from = from;
                p.to = run->chance;
                p.draws = t - (start - 1);
                p.kept = s / entry;
                p.lost = (lost - lostAtEntry) / entry;
                p.share = share;
                p.shape.assign(settledShape.begin(), settledShape.end());
            }
            settle(share);
            if (s < 1e-30)
                return 1;
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
    qsizetype n = 0;
    for (const AbsentRun& r : runs) {
        if (r.draws <= 0)
            continue;
        n += r.draws;
        if (!stretches.empty() && stretches.back().chance == r.chance)
            stretches.back().draws += r.draws;
        else
            stretches.push_back(r);
    }
    ChainWork work;
    double expected = 0;
    for (qsizetype k = 1; k <= n; ++k) {
        const double atLeast = chanceAtLeast(stretches, k, work);
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
        auto& m = mOfCycle[std::size_t(zodiacCycle(span.year))];
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
    clearVectorState();
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
