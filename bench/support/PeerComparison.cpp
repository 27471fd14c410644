#include "PeerComparison.h"

#include "BenchHistory.h"
#include "PythonPeer.h"

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

std::optional<Measured>
measureSearch(const BenchRequest& request, const MemoryHistory& memory,
              const std::function<std::unique_ptr<PendingSearch>(QString*)>& start) {
    QString error;
    QElapsedTimer timer;
    const double cpuStart = cpuMs();
    timer.start();
    // The answer is what the window shows; the cells are written after it.
    const auto search = start(&error);
    const double answerMs = timer.nsecsElapsed() / 1e6;
    const double answerCpu = cpuMs() - cpuStart;
    if (!search || !search->write(&error)) {
        std::fprintf(stderr, "search failed: %s\n", qPrintable(error));
        return std::nullopt;
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    const double cpuUsed = cpuMs() - cpuStart;
    QElapsedTimer passTimer;
    passTimer.start();
    const SearchAnswer pass = memoryPass(memory, request);
    Measured done{request, answerOf(search->result()), pass};
    done.passMs = passTimer.nsecsElapsed() / 1e6;
    done.oursMs = ms;
    done.oursCpuMs = cpuUsed;
    done.answerMs = answerMs;
    done.answerCpuMs = answerCpu;
    return done;
}

bool reportAgainstPeer(const QString& script, const QString& databasePath,
                       const QVector<Measured>& measured, QString* error) {
    QVector<BenchRequest> requests;
    for (const Measured& m : measured)
        requests << m.request;
    const auto peer = runPythonPeer(script, databasePath, requests, error);
    if (!peer)
        return false;

    QVector<double> ours, peerMs, pass, oursCpu, peerCpu, answer, answerCpu;
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
        ours << m.oursMs;
        answer << m.answerMs;
        answerCpu << m.answerCpuMs;
        peerMs << (*peer)[i].ms;
        pass << m.passMs;
        oursCpu << m.oursCpuMs;
        peerCpu << (*peer)[i].cpuMs;
    }
    const double o = median(ours), p = median(peerMs), c = median(pass);
    std::printf("%7s same %lld answers from ours, the Python peer and the C++ pass\n", "",
                static_cast<long long>(measured.size()));
    const double oc = median(oursCpu), pc = median(peerCpu);
    const double a = median(answer), ac = median(answerCpu);
    std::printf("%7s answered in %.1f ms, Python peer %.1f ms: ours/peer %.2f (goal <= 1.0) %s "
                "(cpu %.1f / %.1f ms: %.2f)\n",
                "", a, p, p > 0 ? a / p : 0.0, a <= p ? "ok" : "SLOWER", ac, pc,
                pc > 0 ? ac / pc : 0.0);
    std::printf("%7s with the cells written %.1f ms: ours/peer %.2f (cpu %.1f ms: %.2f)\n", "", o,
                p > 0 ? o / p : 0.0, oc, pc > 0 ? oc / pc : 0.0);
    std::printf("%7s C++ pass %.3f ms: answered/pass %.1f, written/pass %.1f\n", "", c,
                c > 0 ? a / c : 0.0, c > 0 ? o / c : 0.0);
    return true;
}

} // namespace quorvex::bench
