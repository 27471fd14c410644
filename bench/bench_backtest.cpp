// Backtest of the last 1,000 issues of synthetic histories of 5,840 and 100,000 draws, for the
// follow search and the combination search (k = 2), against the naive loop of 1,000 answered
// searches (a session searching each issue as the verification tab does, its snapshot kept) and
// a plain pass over the draws in memory doing the same work. All three must agree on every
// issue's hits. Goals: the backtest at most a tenth of the naive loop, and at most 0.1 s at
// 5,840 draws.
#include "BenchHistory.h"
#include "MemoryPass.h"
#include "presentation/BacktestGridTexts.h"

#include "analysis/Backtest.h"
#include "analysis/ResultTally.h"
#include "session/SearchSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;
using namespace quorvex::bench;

namespace {

constexpr int kIssues = 1000;
constexpr int kTop = 3;

// The issue's hits in the naive loop, or -1 when the issue is left out.
QVector<int> naiveLoop(HistoryStore& store, const BacktestRequest& b, const HistoryView& view) {
    HistorySnapshot snapshot;
    SearchSession session(store, snapshot);
    Settings settings;
    settings.bolZyw = b.search.bolZyw;
    settings.intLei = b.search.intLei;
    settings.intXianshiLei = b.search.intXianshiLei;
    settings.intZhWSetup = b.combinedPositions ? b.combinedPositions : 2;
    session.setSettings(settings);
    session.historyChanged();
    QVector<int> hits;
    for (qsizetype at = view.size() - kIssues; at < view.size(); ++at) {
        const QString issue = QString::number(view.rows()[at].issue);
        QString error;
        std::optional<FollowResult> result;
        if (session.setOnlyBefore(true, issue, &error) &&
            session.setVerificationIssue(issue, &error)) {
            session.setReferenceSource(ReferenceSource::Verification);
            const SearchRequest r = session.request(b.search.bolPosSel, b.search.startIssue);
            auto outcome = b.combinedPositions ? session.runCombination(r) : session.runFollow(r);
            if (outcome)
                result = std::move(*outcome);
        }
        int h = -1;
        if (result) {
            h = 0;
            for (int i = 0; i < kTop; ++i)
                for (const int v : view.rows()[at].attributes.kindValues(b.search.intXianshiLei))
                    h += v == result->bars[result->resultBars[i]].value ? 1 : 0;
        }
        hits << h;
    }
    return hits;
}

// The same questions answered by the plain pass, issue by issue.
QVector<int> plainLoop(const MemoryHistory& memory, const BacktestRequest& b) {
    QVector<int> hits;
    const qsizetype size = memory.issues.size();
    for (qsizetype at = size - kIssues; at < size; ++at) {
        const auto target = issueBefore(QString::number(memory.issues[at]));
        const qsizetype end =
            std::upper_bound(memory.issues.begin(), memory.issues.end(), *target) -
            memory.issues.begin();
        if (end < 1 || memory.issues[end - 1] < b.search.startIssue) {
            hits << -1;
            continue;
        }
        BenchRequest request{b.search, b.combinedPositions != 0, b.combinedPositions, {}};
        request.search.endIssue = memory.issues[end - 1];
        for (int p = 0; p < kPositions; ++p)
            request.search.intRefVal[p] = memory.values[end - 1][b.search.intLei][p];
        const SearchAnswer answer = memoryPass(memory, request);
        const QVector<int> top = rankedValues(answer.counts, answer.lo).mid(0, kTop);
        int h = 0;
        for (const int v : memory.values[at][b.search.intXianshiLei])
            h += top.contains(v) ? 1 : 0;
        hits << h;
    }
    return hits;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("backtest of the last %d issues (top %d), against the naive loop of answered "
                "searches and a plain pass in memory\n",
                kIssues, kTop);
    // Sizes may be named on the command line (bench_backtest 5840); both by default.
    QVector<int> sizes{5840, 100000};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i)
            sizes << QByteArray(argv[i]).toInt();
    }
    for (const int size : sizes) {
        QTemporaryDir dir;
        HistoryStore store;
        QString error;
        if (!makeHistory(store, dir.path(), size))
            return 1;
        const HistoryView view = readHistoryView(store);
        const MemoryHistory memory = MemoryHistory::fromView(view);
        for (const int k : {0, 2}) {
            BacktestRequest b;
            b.search.intLei = Zodiac;
            b.search.bolPosSel = {true, false, true, false, false};
            b.search.startIssue = view.rows()[1].issue;
            b.combinedPositions = k;
            b.topK = kTop;
            b.firstIssue = view.rows()[view.size() - kIssues].issue;
            b.lastIssue = view.last()->issue;
            HistorySnapshot snapshot;
            if (!snapshot.refresh(store, backtestColumns(b), &error))
                return 1;
            QVector<double> times;
            std::optional<BacktestResult> result;
            for (int run = 0; run < 5; ++run) {
                QElapsedTimer timer;
                timer.start();
                result = runBacktest(snapshot, b, {});
                times << timer.nsecsElapsed() / 1e6;
                if (!result) {
                    std::fprintf(stderr, "backtest failed: %s\n", qPrintable(error));
                    return 1;
                }
            }
            QElapsedTimer timer;
            timer.start();
            const QVector<int> naive = naiveLoop(store, b, view);
            const double naiveMs = timer.nsecsElapsed() / 1e6;
            QVector<double> plainTimes;
            QVector<int> plain;
            for (int run = 0; run < 3; ++run) {
                timer.start();
                plain = plainLoop(memory, b);
                plainTimes << timer.nsecsElapsed() / 1e6;
            }
            QVector<int> ours;
            qsizetype at = 0;
            for (qsizetype i = view.size() - kIssues; i < view.size(); ++i) {
                const bool listed =
                    at < result->rows.size() && result->rows[at].issue == view.rows()[i].issue;
                ours << (listed ? result->rows[at++].hits : -1);
            }
            if (ours != naive || ours != plain) {
                std::fprintf(stderr, "the backtest, the naive loop and the plain pass disagree\n");
                return 1;
            }
            const double ms = median(times), plainMs = median(plainTimes);
            std::printf("%7d draws, %s: backtest %.1f ms, naive loop %.0f ms: ratio %.3f (goal "
                        "<= 0.1) %s; plain pass %.1f ms: backtest/pass %.2f; %s\n",
                        size, k ? "combination k=2" : "follow         ", ms, naiveMs, ms / naiveMs,
                        ms / naiveMs <= 0.1 ? "met" : "MISSED", plainMs, ms / plainMs,
                        qPrintable(backtestSummary(*result)));
            if (size < 10000)
                std::printf("%7s at 5,840 draws: %.1f ms (goal <= 100 ms) %s\n", "", ms,
                            ms <= 100 ? "met" : "MISSED");
        }
    }
    return 0;
}
