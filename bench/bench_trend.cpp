// Trend and omission of every kind over whole synthetic histories of 5,840 and 100,000 draws
// (and 1,000,000 with QUORVEX_BENCH_LARGE=1), timed after the snapshot has read the numbers:
// the per-issue grid and per-value summary, and apart from it the fair draw's figures (most of
// it the expected longest omission). Set against a plain pass over the same columns that derives
// each draw on its own and keeps a running omission per value; both must agree. Goal: the whole
// trend (grid, summary and fair figures) within 10 ms at 100,000 draws. The grid's cells are
// worked out when read (a search per cell), so the plain pass's check reads every cell.
#include "BenchHistory.h"

#include "analysis/FairOmission.h"
#include "analysis/TrendFigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;
using namespace quorvex::bench;

namespace {

// The sum of every cell's omission and of every value's times drawn, written plainly.
qint64 plainPass(const HistorySnapshot& snapshot, int kind) {
    const ValueRange values = kindRange(kind, 1, 1);
    ZodiacYear zodiac;
    std::vector<qint64> gap(std::size_t(values.count()), 0);
    qint64 sum = 0;
    for (qsizetype row = 0; row < snapshot.rows(); ++row) {
        zodiac.followIssue(snapshot.issue(row));
        Numbers n{};
        for (int p = 1; p <= kPositions; ++p)
            n[p - 1] = snapshot.value(HistorySnapshot::attribute(p, Number), row);
        const auto drawn = deriveAttributes(n, zodiac, {}).kindValues(kind);
        for (int v = values.lo; v <= values.hi; ++v) {
            auto& g = gap[std::size_t(v - values.lo)];
            g = std::find(drawn.begin(), drawn.end(), v) != drawn.end() ? 0 : g + 1;
            sum += g == 0 ? 1 : g;
        }
    }
    return sum;
}

qint64 sumOf(const TrendFigures& t) {
    qint64 sum = 0;
    for (qsizetype row = 0; row < t.rows(); ++row)
        for (int v = 0; v < t.valueCount(); ++v)
            sum += t.drawnCount(row, v) > 0 ? 1 : t.omission(row, v);
    return sum;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QVector<int> sizes{5840, 100000};
    if (qEnvironmentVariableIntValue("QUORVEX_BENCH_LARGE") == 1)
        sizes << 1000000;
    std::printf("trend of each kind over the whole history, medians in ms after the snapshot is "
                "read (goal: trend + fair <= 10 ms at 100,000 draws)\n");
    for (const int size : sizes) {
        QTemporaryDir dir;
        HistoryStore store;
        if (!makeHistory(store, dir.path(), size))
            return 1;
        HistorySnapshot snapshot;
        QString error;
        QElapsedTimer read;
        read.start();
        if (!snapshot.refresh(store, trendColumns(), &error)) {
            std::fprintf(stderr, "cannot read the history: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("%7d draws: the five number columns read in %.1f ms\n", size,
                    read.nsecsElapsed() / 1e6);
        const int rounds = size > 200000 ? 3 : 9;
        // As the session keeps them: the lunar new year cut-offs of the years met, worked out
        // from the calendar on the first zodiac trend only.
        ZodiacYear knownYears;
        for (int kind = 0; kind < kKindCount; ++kind) {
            QVector<double> trendMs, fairMs, plainMs, cpu;
            const TrendRequest request{
                kind, {}, snapshot.issue(0), snapshot.issue(snapshot.rows() - 1)};
            for (int round = 0; round < rounds; ++round) {
                QElapsedTimer timer;
                const double cpuStart = cpuMs();
                timer.start();
                const auto trend = trendFigures(snapshot, request, &error, &knownYears);
                if (!trend) {
                    std::fprintf(stderr, "trend failed: %s\n", qPrintable(error));
                    return 1;
                }
                if (round == 0 && kind == Zodiac)
                    std::printf("%7s %s  first trend, the calendar's cut-offs included: %.2f\n", "",
                                qPrintable(kindCaption(kind)), timer.nsecsElapsed() / 1e6);
                trendMs << timer.nsecsElapsed() / 1e6;
                timer.restart();
                const auto fair = fairOmission(*trend);
                fairMs << timer.nsecsElapsed() / 1e6;
                cpu << cpuMs() - cpuStart;
                if (fair.size() != trend->valueCount())
                    return 1;
                timer.restart();
                const qint64 plain = plainPass(snapshot, kind);
                plainMs << timer.nsecsElapsed() / 1e6;
                if (plain != sumOf(*trend)) {
                    std::fprintf(stderr, "%s: the trend and the plain pass disagree\n",
                                 qPrintable(kindCaption(kind)));
                    return 1;
                }
            }
            const double total = median(trendMs) + median(fairMs);
            std::printf("%7s %s  trend %6.2f  fair %7.2f  total %7.2f (cpu %.2f)  plain pass "
                        "%6.2f%s\n",
                        "", qPrintable(kindCaption(kind)), median(trendMs), median(fairMs), total,
                        median(cpu), median(plainMs),
                        size == 100000 ? (total <= 10 ? "  goal met" : "  goal MISSED") : "");
        }
    }
    return 0;
}
