#include "PeerComparison.h"

#include "BenchHistory.h"
#include "PythonPeer.h"

#include "analysis/CombinationSearch.h"
#include "analysis/FollowMatching.h"
#include "analysis/FollowSearch.h"

#include <QElapsedTimer>

#include <cstdio>

namespace quorvex::bench {

namespace {

QString describe(const BenchRequest& b) {
    const SearchRequest& r = b.search;
    QString positions;
    for (int i = 0; i < kPositions; ++i)
        positions += r.bolPosSel[i] ? QLatin1Char('1') : QLatin1Char('0');
    QString ref;
    for (int v : r.intRefVal)
        ref += QString::number(v) + QLatin1Char(' ');
    return QStringLiteral("%1 (kind %2, result kind %3, reference %4, positions %5, issues %6..%7)")
        .arg(b.label)
        .arg(r.intLei)
        .arg(r.intXianshiLei)
        .arg(ref.trimmed(), b.combination ? QStringLiteral("all") : positions)
        .arg(r.startIssue)
        .arg(r.endIssue);
}

} // namespace

std::optional<FollowResult> snapshotSearch(const HistoryStore& store, HistorySnapshot& snapshot,
                                           const BenchRequest& request, QString* error) {
    const SearchRequest& r = request.search;
    if (!validateRequest(r, error) ||
        (request.combination && !validateCombinedPositions(request.k, error)) ||
        !snapshot.refresh(store, searchColumns(r), error))
        return std::nullopt;
    return request.combination ? combinationSearch(snapshot, r, request.k)
                               : followSearch(snapshot, r);
}

std::optional<Measured> measureSearch(const BenchRequest& request, const MemoryHistory& memory,
                                      const HistoryStore& store, HistorySnapshot& snapshot) {
    QString error;
    QElapsedTimer timer;
    const double cpuStart = cpuMs();
    timer.start();
    const auto result = snapshotSearch(store, snapshot, request, &error);
    const double answerMs = timer.nsecsElapsed() / 1e6;
    const double answerCpu = cpuMs() - cpuStart;
    if (!result) {
        std::fprintf(stderr, "search failed: %s\n", qPrintable(error));
        return std::nullopt;
    }
    QElapsedTimer passTimer;
    passTimer.start();
    const SearchAnswer pass = memoryPass(memory, request);
    Measured done{request, answerOf(*result), pass};
    done.passMs = passTimer.nsecsElapsed() / 1e6;
    done.answerMs = answerMs;
    done.answerCpuMs = answerCpu;
    return done;
}

bool loadEveryColumn(const HistoryStore& store, HistorySnapshot& snapshot, QString* error) {
    QVector<int> columns;
    for (int c = 0; c < HistorySnapshot::kColumns; ++c)
        columns << c;
    return snapshot.refresh(store, columns, error);
}

bool reportAgainstPeer(const QString& script, const QString& databasePath,
                       const QVector<Measured>& measured, QString* error) {
    QVector<BenchRequest> requests;
    for (const Measured& m : measured)
        requests << m.request;
    const auto peer = runPythonPeer(script, databasePath, requests, error);
    if (!peer)
        return false;

    QVector<double> peerMs, pass, peerCpu, answer, answerCpu;
    for (qsizetype i = 0; i < measured.size(); ++i) {
        const Measured& m = measured[i];
        const SearchAnswer& p = (*peer)[i].answer;
        if (m.ours != p || m.ours != m.pass) {
            if (error)
                *error = QStringLiteral("answers differ for request %1, %2:\n  ours: %3\n  peer: "
                                        "%4\n  pass: %5")
                             .arg(i + 1)
                             .arg(describe(m.request), m.ours.text(), p.text(), m.pass.text());
            return false;
        }
        if (!m.timed)
            continue;
        answer << m.answerMs;
        answerCpu << m.answerCpuMs;
        peerMs << (*peer)[i].ms;
        pass << m.passMs;
        peerCpu << (*peer)[i].cpuMs;
    }
    const double p = median(peerMs), c = median(pass);
    std::printf("%7s same %lld answers from ours, the Python peer and the C++ pass\n", "",
                static_cast<long long>(measured.size()));
    const double pc = median(peerCpu);
    const double a = median(answer), ac = median(answerCpu);
    std::printf("%7s answered in %.1f ms, Python peer %.1f ms: ours/peer %.2f (goal <= 1.0) %s "
                "(cpu %.1f / %.1f ms: %.2f)\n",
                "", a, p, p > 0 ? a / p : 0.0, a <= p ? "ok" : "SLOWER", ac, pc,
                pc > 0 ? ac / pc : 0.0);
    std::printf("%7s C++ pass %.3f ms: answered/pass %.1f\n", "", c, c > 0 ? a / c : 0.0);
    // Each mode apart: one median over all would hide a slow mode behind fast ones.
    QStringList labels;
    for (const Measured& m : measured)
        if (m.timed && !labels.contains(m.request.label))
            labels << m.request.label;
    std::printf("%7s answered/pass by mode (goal <= 2):", "");
    for (const QString& label : labels) {
        QVector<double> ours, plain;
        for (const Measured& m : measured)
            if (m.timed && m.request.label == label) {
                ours << m.answerMs;
                plain << m.passMs;
            }
        const double ratio = median(plain) > 0 ? median(ours) / median(plain) : 0.0;
        std::printf("  %s %.1f%s", qPrintable(label), ratio, ratio <= 2 ? "" : " MISSED");
    }
    std::printf("\n");
    return true;
}

} // namespace quorvex::bench
