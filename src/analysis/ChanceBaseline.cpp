#include "ChanceBaseline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace quorvex {

QVector<int> numbersPerValue(int kind, const ZodiacYear& zodiacYear, const ValueBases& bases) {
    const ValueRange values = kindRange(kind, bases.sxIni, bases.dsIni);
    QVector<int> m(values.count(), 0);
    const NumberValues table = numberValues(kind, zodiacYear, bases);
    for (int n = 1; n <= 15; ++n)
        if (values.contains(table[std::size_t(n)]))
            ++m[table[std::size_t(n)] - values.lo];
    return m;
}

FairDrawExpectation fairDrawExpectation(const QVector<qint64>& followIssues, int kind,
                                        const ValueBases& bases, ZodiacYear* knownYears) {
    const int count = kindRange(kind, bases.sxIni, bases.dsIni).count();
    // Integer sums of m and m (15 - m) over the draws: mean = sum m / 3, variance =
    // sum m (15 - m) / 63, the per-draw formulas with their constants taken out.
    QVector<qint64> sumM(count, 0), sumMM(count, 0);
    // Only the zodiac's m depends on the year, and only on its place in the cycle: the draws are
    // counted per place first, as a search may list half a million follow draws. A
    // year's cut-off is an astronomical reckoning, kept in knownYears for the next search.
    ZodiacYear zodiacYear, ownYears;
    ZodiacYear& years = knownYears ? *knownYears : ownYears;
    std::vector<std::pair<int, qint64>> drawsPerYear;
    if (kind != Zodiac) {
        drawsPerYear.emplace_back(zodiacYear.lngSxYear(), followIssues.size());
    } else {
        std::array<std::pair<int, qint64>, 12> perClass{};
        for (const qint64 issue : followIssues) {
            const int year = years.yearOfIssue(issue);
            auto& [some, draws] = perClass[std::size_t(zodiacCycle(year))];
            some = year;
            ++draws;
        }
        for (const auto& c : perClass)
            if (c.second > 0)
                drawsPerYear.push_back(c);
    }
    for (const auto& [year, draws] : drawsPerYear) {
        if (year != zodiacYear.lngSxYear())
            zodiacYear.setYear(year);
        const QVector<int> m = numbersPerValue(kind, zodiacYear, bases);
        for (int v = 0; v < count; ++v) {
            sumM[v] += draws * m[v];
            sumMM[v] += draws * m[v] * (15 - m[v]);
        }
    }
    FairDrawExpectation e;
    e.draws = followIssues.size();
    e.mean.resize(count);
    e.variance.resize(count);
    for (int v = 0; v < count; ++v) {
        e.mean[v] = double(sumM[v]) / 3.0;
        e.variance[v] = double(sumMM[v]) / 63.0;
    }
    return e;
}

QVector<std::optional<double>> holmCorrected(const QVector<std::optional<double>>& p) {
    QVector<int> tested;
    for (int i = 0; i < p.size(); ++i)
        if (p[i])
            tested.append(i);
    std::stable_sort(tested.begin(), tested.end(), [&p](int a, int b) { return *p[a] < *p[b]; });
    QVector<std::optional<double>> corrected(p.size());
    const qsizetype m = tested.size();
    double running = 0;
    for (qsizetype k = 0; k < m; ++k) {
        // Step-down: never below the corrected p of a smaller raw p.
        running = std::max(running, std::min(1.0, double(m - k) * *p[tested[k]]));
        corrected[tested[k]] = running;
    }
    return corrected;
}

QVector<FollowResult::Baseline> compareWithChance(const QVector<FollowResult::Bar>& bars,
                                                  const FairDrawExpectation& expectation) {
    QVector<FollowResult::Baseline> out(bars.size());
    QVector<std::optional<double>> p(bars.size());
    for (qsizetype i = 0; i < bars.size(); ++i) {
        FollowResult::Baseline& b = out[i];
        b.expected = i < expectation.mean.size() ? expectation.mean[i] : 0.0;
        const double variance = i < expectation.variance.size() ? expectation.variance[i] : 0.0;
        if (b.expected > 0)
            b.ratio = double(bars[i].count) / b.expected;
        if (expectation.draws < kFewestTestedDraws || !(variance > 0))
            continue;
        b.z = (double(bars[i].count) - b.expected) / std::sqrt(variance);
        b.p = std::erfc(std::abs(*b.z) / std::sqrt(2.0));
        p[i] = b.p;
    }
    const auto corrected = holmCorrected(p);
    for (qsizetype i = 0; i < bars.size(); ++i) {
        out[i].correctedP = corrected[i];
        out[i].marked = corrected[i] && *corrected[i] < kMarkLevel;
    }
    return out;
}

void addBaseline(FollowResult& result, const SearchRequest& request, ZodiacYear* knownYears) {
    result.baseline = compareWithChance(
        result.bars,
        fairDrawExpectation(result.followIssues, request.intXianshiLei, request.bases, knownYears));
}

bool comparedWithChance(const QVector<FollowResult::Baseline>& baseline) {
    return std::any_of(baseline.cbegin(), baseline.cend(),
                       [](const FollowResult::Baseline& b) { return b.p.has_value(); });
}

} // namespace quorvex
