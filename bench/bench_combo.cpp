// Combination search on synthetic histories of 5,840 and 100,000 draws: k = 2 and k = 3, free
// and fixed positions, 上期 and 前N期 (N = 3) in turn, options changing from one search to the
// next, the snapshot the searches keep brought up to date each time. The same requests go
// to a Python peer on the same database file and to a plain pass over the draws in memory: all
// three must agree, and the medians are set against each other.
#include "BenchHistory.h"
#include "EdgeRequests.h"
#include "MemoryPass.h"
#include "PeerComparison.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;
using namespace quorvex::bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    struct Mode {
        const char* name;
        bool free;
        int k;
    };
    const Mode modes[] = {{"free  k=2", true, 2},
                          {"fixed k=2", false, 2},
                          {"free  k=3", true, 3},
                          {"fixed k=3", false, 3}};

    std::printf("combination search, medians in ms (targets: 40 ms at 5,840 draws, 800 ms at "
                "100,000)\n");
    QVector<int> sizes{5840, 100000};
    if (qEnvironmentVariableIntValue("QUORVEX_BENCH_LARGE") == 1)
        sizes << 1000000;
    for (const int size : sizes) {
        QTemporaryDir dir;
        HistoryStore store;
        QString error;
        if (!makeHistory(store, dir.path(), size))
            return 1;
        const HistoryView view = readHistoryView(store);
        const MemoryHistory memory = MemoryHistory::fromView(view);
        HistorySnapshot snapshot;
        QVector<Measured> measured;
        const int rounds = size > 10000 ? 11 : 25;
        QVector<double> times[4];
        QVector<double> all, cpu, first(4);
        qint64 followDraws = 0;
        for (int round = 0; round < rounds; ++round) {
            // After the first searches have read their columns, every column is held: the
            // rounds timed time the searches alone.
            if (round == 2 && !loadEveryColumn(store, snapshot, &error)) {
                std::fprintf(stderr, "cannot read the history: %s\n", qPrintable(error));
                return 1;
            }
            for (int m = 0; m < 4; ++m) {
                SearchRequest r;
                r.bolZyw = modes[m].free;
                r.bolSq = (round + m) % 2 == 0;
                r.intPreQi = 3;
                r.intLei = (round + m) % kKindCount;
                r.intXianshiLei = (round + 2 * m) % kKindCount;
                const qsizetype ref = view.size() - 1 - (r.bolSq ? 0 : 2) - round % 5;
                r.intRefVal = view.rows()[ref].attributes.kindValues(r.intLei);
                r.startIssue = view.rows()[0].issue + (r.bolSq ? 1 : 3);
                r.endIssue = view.rows().last().issue;
                const BenchRequest request{r, true, modes[m].k, QString::fromUtf8(modes[m].name)};
                auto measuredSearch = measureSearch(request, memory, store, snapshot);
                if (!measuredSearch)
                    return 1;
                Measured& done = *measuredSearch;
                const double ms = done.answerMs, cpuUsed = done.answerCpuMs;
                followDraws += done.ours.followDraws;
                done.timed = round >= 2;
                measured << done;
                if (round < 2) { // the first searches of a kind read its columns
                    first[m] = qMax(first[m], ms);
                    continue;
                }
                times[m] << ms;
                all << ms;
                cpu << cpuUsed;
            }
        }
        std::printf("%7d draws:", size);
        for (int m = 0; m < 4; ++m)
            std::printf("  %s %7.1f", modes[m].name, median(times[m]));
        std::printf("  | all %7.1f (cpu %.1f)  (%lld follow draws listed)\n", median(all),
                    median(cpu), static_cast<long long>(followDraws));
        std::printf("%7s slowest first search of each mode:", "");
        for (int m = 0; m < 4; ++m)
            std::printf("  %s %7.1f", modes[m].name, first[m]);
        std::printf("\n");
        if (!measureUntimed(store, snapshot, memory, edgeRequests(view, true), &measured, &error)) {
            std::fprintf(stderr, "search failed: %s\n", qPrintable(error));
            return 1;
        }
        if (!reportAgainstPeer(QStringLiteral(QUORVEX_PEER_DIR "/follow_peer.py"),
                               store.databasePath(), measured, &error)) {
            std::fprintf(stderr, "combination search against the peer: %s\n", qPrintable(error));
            return 1;
        }
    }
    return 0;
}
