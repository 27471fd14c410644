// A repeated `quorvex-cli search` on a 100,000-draw history against `quorvex-cli next-issue` on
// the same folder, beside the same search run in process through a search session. Target: the
// search within 1.5 x next-issue + the in-process search time.
#include "analysis/SearchSession.h"
#include "BenchHistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;
using namespace quorvex::bench;

namespace {

constexpr int kDraws = 100000;
constexpr int kRepeats = 9;
const QStringList kSearch{"search", "--kind", "zodiac", "--positions", "1,3"};

// One run of the CLI in ms, or a negative value after a message when it failed.
double runCli(const QString& home, const QString& folder, const QStringList& arguments) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Settings of this run only, never the user's.
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    p.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral(QUORVEX_CLI_PATH), QStringList{"--dir", folder} + arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "quorvex-cli %s failed: %s\n", qPrintable(arguments.join(' ')),
                     p.readAllStandardError().constData());
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}

// The CLI's search in process: the session over the history, its options, the search. Only
// the search itself is timed; nothing when it failed.
std::optional<double> inProcessSearch(HistoryStore& store) {
    HistorySnapshot snapshot;
    SearchSession session(store, snapshot);
    QString error;
    if (!session.historyChanged(&error))
        return std::nullopt;
    session.setSearchKind(Zodiac);
    session.setTab(ReferenceTab::LastDraws);
    const SearchRequest request = session.request({true, false, true, false, false});
    QElapsedTimer timer;
    timer.start();
    const auto result = session.runFollow(request, &error);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (!result || result->followDraws == 0) {
        std::fprintf(stderr, "in-process search failed: %s\n", qPrintable(error));
        return std::nullopt;
    }
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    const QString folder = home.filePath("history");
    {
        QDir(home.path()).mkpath("history");
        HistoryStore store;
        QString error;
        if (!store.open(folder, &error) || !fillHistory(store, kDraws)) {
            std::fprintf(stderr, "cannot build the history: %s\n", qPrintable(error));
            return 1;
        }
    }
    // Once each before timing: the first search derives its working columns.
    if (runCli(home.path(), folder, kSearch) < 0 || runCli(home.path(), folder, {"next-issue"}) < 0)
        return 1;

    QVector<double> searchTimes, nextTimes, inProcessTimes;
    HistoryStore store;
    QString error;
    if (!store.open(folder, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (int r = 0; r < kRepeats; ++r) { // interleaved, so all three see the same machine load
        const double search = runCli(home.path(), folder, kSearch);
        const double next = runCli(home.path(), folder, {"next-issue"});
        const auto inProcess = inProcessSearch(store);
        if (search < 0 || next < 0 || !inProcess)
            return 1;
        searchTimes << search;
        nextTimes << next;
        inProcessTimes << *inProcess;
    }
    const double s = median(searchTimes), n = median(nextTimes), i = median(inProcessTimes);
    const double target = 1.5 * n + i;
    std::printf("quorvex-cli on %d draws, medians of %d: search %.1f ms, next-issue %.1f ms, "
                "search in process %.1f ms; target <= 1.5 x %.1f + %.1f = %.1f ms: %s\n",
                kDraws, kRepeats, s, n, i, n, i, target, s <= target ? "met" : "MISSED");
    return 0;
}
