#include "ChanceBaseline.h"

#include <array>
#include <cmath>

namespace quorvex {

RangeStatistics rangeStatistics(const HistorySnapshot& snapshot, qint64 startIssue, qint64 endIssue,
                                int kind, const ValueBases& bases) {
    const ValueRange values = kindRange(kind, bases.sxIni, bases.dsIni);
    // Integer sums keep the variance exact, so a value that never varies has variance 0. The
    // squared count of a value in a draw is its count plus twice the pairs of positions that
    // both hold it.
    const auto span = unsigned(values.count());
    // One slot past the values gathers everything outside them, so the loop never branches.
    std::array<qint64, 17> sum{}, pairs{};
    std::array<const qint32*, kPositions> cells{};
    for (int i = 0; i < kPositions; ++i)
        cells[i] = snapshot.column(HistorySnapshot::attribute(i + 1, kind)).data();
    const auto [begin, end] = snapshot.rowsBetween(startIssue, endIssue);
    for (qsizetype row = begin; row < end; ++row) {
        std::array<unsigned, kPositions> at{};
        for (int i = 0; i < kPositions; ++i) {
            const qint32 v = cells[i][row];
            at[i] = std::min(unsigned((v == HistorySnapshot::kNull ? 0 : v) - values.lo), span);
            ++sum[at[i]];
        }
        for (int i = 0; i < kPositions; ++i)
            for (int j = i + 1; j < kPositions; ++j)
                pairs[at[i]] += at[i] == at[j];
    }
    std::array<qint64, 17> squares{};
    for (unsigned i = 0; i < span; ++i)
        squares[i] = sum[i] + 2 * pairs[i];
    const qint64 n = end - begin;
    RangeStatistics stats;
    stats.draws = n;
    stats.mean.resize(values.count());
    stats.variance.resize(values.count());
    for (int i = 0; i < values.count() && n > 0; ++i) {
        stats.mean[i] = double(sum[i]) / double(n);
        stats.variance[i] = double(n * squares[i] - sum[i] * sum[i]) / (double(n) * double(n));
    }
    return stats;
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
                                                  qint64 followDraws,
                                                  const RangeStatistics& range) {
    const qint64 d = followDraws;
    const qint64 n = range.draws;
    QVector<FollowResult::Baseline> out(bars.size());
    QVector<std::optional<double>> p(bars.size());
    for (qsizetype i = 0; i < bars.size(); ++i) {
        FollowResult::Baseline& b = out[i];
        const double mean = i < range.mean.size() ? range.mean[i] : 0.0;
        const double variance = i < range.variance.size() ? range.variance[i] : 0.0;
        b.expected = double(d) * mean;
        if (b.expected > 0)
            b.ratio = double(bars[i].count) / b.expected;
        if (d < kFewestTestedDraws || d >= n || !(variance > 0))
            continue;
        // D draws taken from N without replacement.
        const double sd = std::sqrt(double(d) * variance * double(n - d) / double(n - 1));
        b.z = (double(bars[i].count) - b.expected) / sd;
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

void addBaseline(FollowResult& result, const HistorySnapshot& snapshot,
                 const SearchRequest& request) {
    const RangeStatistics range = rangeStatistics(snapshot, request.startIssue, request.endIssue,
                                                  request.intXianshiLei, request.bases);
    result.rangeDraws = range.draws;
    result.baseline = compareWithChance(result.bars, result.followDraws, range);
}

QString significantText(double value) {
    if (value == 0)
        return QStringLiteral("0.000");
    // The exponent after rounding to four digits decides the decimals: 0.099996 is 0.1000.
    const QString e = QString::number(value, 'e', 3);
    const int exponent = e.mid(e.indexOf(QLatin1Char('e')) + 1).toInt();
    if (exponent < -4)
        return e;
    return QString::number(value, 'f', std::max(0, 3 - exponent));
}

QStringList baselineHeader() {
    return {QStringLiteral("期望次数"), QStringLiteral("比值"), QStringLiteral("p值"),
            QStringLiteral("显著")};
}

QStringList baselineCells(const FollowResult::Baseline& b) {
    const QString none = QStringLiteral("—");
    return {QString::number(b.expected, 'f', 3), b.ratio ? QString::number(*b.ratio, 'f', 3) : none,
            b.correctedP ? significantText(*b.correctedP) : none,
            b.marked ? QStringLiteral("是") : QString()};
}

} // namespace quorvex
