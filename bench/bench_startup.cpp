// The start-up of the real program: from before the fork of the quorvex executable to the first
// frame its window paints with the history grid filled (QUORVEX_FIRST_FRAME_FD), on an empty
// history and on 5,840 and 100,000 draws, each beside the empty start in one run. Goal: the first
// frame at 100,000 draws within 300 ms. Other sizes may be named on the command line
// (bench_startup 1000000); the empty start always runs. Runs on the platform QT_QPA_PLATFORM
// names (offscreen when unset); under xcb, DISPLAY must name a running server (Xvfb will do).
// Then, for each history, the longest the window's event loop is held up in the 1.5 s after its
// first frame when no verdict of the whole-file checks is kept (goal: at most 50 ms).
#include "BenchHistory.h"
#include "FirstFrameLaunch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;
using namespace quorvex::bench;

namespace {

constexpr int kRepeats = 9;
constexpr int kTimeoutMs = 30000;
constexpr double kGoalMs = 300;
constexpr int kGoalDraws = 100000;
constexpr int kWatchMs = 1500; // covers the checks the window starts after its first frame
constexpr int kWatchRepeats = 3;
constexpr double kStallGoalMs = 50;

struct Subject {
    int draws = 0;
    QString program; // a copy of the executable in the history's folder, its program folder
    QVector<double> times;
};

// The program in a folder of its own with a history of draws; an empty history when 0.
bool prepare(const QString& root, Subject& s) {
    const QString folder = QDir(root).filePath(QStringLiteral("draws-%1").arg(s.draws));
    s.program = QDir(folder).filePath(QStringLiteral("quorvex"));
    if (!QDir().mkpath(folder) || !QFile::copy(QStringLiteral(QUORVEX_APP_PATH), s.program)) {
        std::fprintf(stderr, "cannot place the program in %s\n", qPrintable(folder));
        return false;
    }
    HistoryStore store;
    QString error;
    if (s.draws == 0 ? store.open(folder, &error) : makeHistory(store, folder, s.draws))
        return true;
    std::fprintf(stderr, "cannot make the history: %s\n", qPrintable(error));
    return false;
}

// One start in ms, or a negative value after a message when the window did not come up with
// the whole history in its grid.
double startUp(const Subject& s, const QStringList& environment, const QString& log) {
    const FirstFrame run = launchToFirstFrame(s.program, environment, log, kTimeoutMs);
    const QString expected = QStringLiteral("first frame: %1 draws").arg(s.draws);
    if (run.ms >= 0 && run.line == expected)
        return run.ms;
    QFile errors(log);
    errors.open(QIODevice::ReadOnly);
    std::fprintf(stderr, "start-up on %d draws: %s (line \"%s\"); its stderr:\n%s\n", s.draws,
                 qPrintable(run.error), qPrintable(run.line), errors.readAll().right(2000).data());
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUORVEX_FIRST_FRAME_FD"));
    if (env.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Settings and user data of this run only, never the user's.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
    const QStringList environment = env.toStringList();
    const QString log = root.filePath(QStringLiteral("stderr.log"));

    QVector<Subject> subjects{{0, {}, {}}};
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            subjects.append({QByteArray(argv[i]).toInt(), {}, {}});
    } else {
        subjects.append({{5840, {}, {}}, {kGoalDraws, {}, {}}});
    }
    for (Subject& s : subjects)
        if (!prepare(root.path(), s))
            return 1;
    // One start of each before timing: the first pays for the disk cache of libraries and fonts.
    for (const Subject& s : subjects)
        if (startUp(s, environment, log) < 0)
            return 1;
    for (int r = 0; r < kRepeats; ++r) // alternated, so all see the same machine load
        for (Subject& s : subjects) {
            const double ms = startUp(s, environment, log);
            if (ms < 0)
                return 1;
            s.times << ms;
        }

    std::printf("quorvex from exec to its first painted frame (platform %s), medians of %d:\n",
                qPrintable(env.value(QStringLiteral("QT_QPA_PLATFORM"))), kRepeats);
    const double empty = median(subjects[0].times);
    for (const Subject& s : subjects) {
        const double ms = median(s.times);
        std::printf("  %-14s %7.1f ms  ratio to the empty history %.2f\n",
                    s.draws ? qPrintable(QStringLiteral("%1 draws").arg(s.draws)) : "empty history",
                    ms, empty > 0 ? ms / empty : 0.0);
    }
    for (const Subject& s : subjects)
        if (s.draws == kGoalDraws)
            std::printf("goal: the first frame at %d draws within %.0f ms: %s\n", kGoalDraws,
                        kGoalMs, median(s.times) <= kGoalMs ? "met" : "MISSED");

    // After the first frame, on a history changed since it was last checked (no verdicts kept):
    // the whole-file checks run then, and must not hold the window up.
    std::printf("the longest the window was held up in the %d ms after its first frame, with "
                "no verdicts kept, medians of %d:\n",
                kWatchMs, kWatchRepeats);
    const QString cache = root.filePath(QStringLiteral("cache"));
    QStringList watching = environment;
    watching << QStringLiteral("QUORVEX_WATCH_AFTER_MS=%1").arg(kWatchMs)
             << QStringLiteral("XDG_CACHE_HOME=") + cache;
    for (const Subject& s : subjects) {
        if (s.draws == 0)
            continue;
        QVector<double> waits;
        for (int r = 0; r < kWatchRepeats; ++r) {
            QDir(cache).removeRecursively();
            const FirstFrame run = launchToFirstFrame(s.program, watching, log, kTimeoutMs);
            const QString prefix = QStringLiteral("longest wait after it: ");
            if (run.ms < 0 || !run.after.startsWith(prefix)) {
                std::fprintf(stderr, "start-up on %d draws: %s (after \"%s\")\n", s.draws,
                             qPrintable(run.error), qPrintable(run.after));
                return 1;
            }
            waits << run.after.mid(prefix.size()).section(QLatin1Char(' '), 0, 0).toDouble();
        }
        const double wait = median(waits);
        std::printf("  %-14s %7.0f ms  (goal <= %.0f) %s\n",
                    qPrintable(QStringLiteral("%1 draws").arg(s.draws)), wait, kStallGoalMs,
                    wait <= kStallGoalMs ? "met" : "MISSED");
    }
    return 0;
}
