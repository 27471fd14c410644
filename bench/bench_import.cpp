// Times the text import of whole history files into a fresh history, then the same import
// replacing the history it made (a copy of it kept first), and beside them the floor: a bare
// insert of the rows the import stores (values ready, one transaction through SQLite's C API,
// into a fresh history). Goals: at most 1.2 times the floor into an empty history, 1.5 times
// when replacing one.
//   bench_import                      5,840 and 100,000 lines (and 1,000,000 with
//                                     QUORVEX_BENCH_LARGE=1), medians against the targets
//   bench_import --write-sample FILE  writes the shipped synthetic sample history
#include "BareInsert.h"
#include "changes/HistoryCopies.h"
#include "draw/HistoryLine.h"
#include "import/TextImport.h"
#include "store/HistoryStore.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace quorvex;

namespace {

// Daily draws from 2019001 to 2026340, 365 a year.
int writeSample(const QString& path) {
    constexpr int kSkipYears = 2019 - 2001;
    constexpr int kCount = (2026 - 2001) * 365 + 340;
    const auto draws = bench::syntheticHistory(kCount);
    QString text;
    for (int i = kSkipYears * 365; i < draws.size(); ++i)
        text += historyLine(draws[i].issue, draws[i].numbers) + historyLineEnd();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s: %d draws\n", qPrintable(path), int(draws.size()) - kSkipYears * 365);
    return 0;
}

// A figure of the process's memory from /proc (Linux), in MB: VmRSS now, VmHWM the peak since
// the last resetPeakMemory.
double memoryMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Resets the peak to what the process holds now, and returns that.
double resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    return memoryMb("VmRSS:");
}

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool run(const QTemporaryDir& tmp, int lines, double targetMs, int repeats) {
    const QString path = tmp.filePath(QStringLiteral("history-%1.txt").arg(lines));
    // Another history of as many draws, to replace the first.
    const QString otherPath = tmp.filePath(QStringLiteral("other-%1.txt").arg(lines));
    if (!bench::writeSyntheticHistoryFile(path, lines) ||
        !bench::writeSyntheticHistoryFile(otherPath, lines, 7))
        return false;

    // Import and floor take turns, so that a busy spell of the machine falls on both.
    QVector<double> times, replacing, floors;
    double peakMb = 0, copyMb = 0;
    std::optional<bench::WrittenRows> rows;
    for (int r = 0; r < repeats; ++r) {
        QTemporaryDir folder;
        HistoryStore store;
        QString error;
        if (!store.open(folder.path(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
        // Into the empty history, then another history of as many draws: now the import
        // replaces one, and keeps a copy of it first.
        auto timedImport = [&](const QString& file, QVector<double>& into) {
            QElapsedTimer timer;
            timer.start();
            const ImportReport report = importHistoryFile(store, file, ValueBases{});
            into << timer.nsecsElapsed() / 1e6;
            if (report.replaced && report.storedDraws == lines)
                return true;
            std::fprintf(stderr, "import failed: %s\n", qPrintable(report.summary()));
            return false;
        };
        if (!timedImport(path, times))
            return false;
        const double before = resetPeakMemory();
        if (!timedImport(otherPath, replacing))
            return false;
        peakMb = std::max(peakMb, memoryMb("VmHWM:") - before);
        for (const HistoryCopy& copy : listHistoryCopies(folder.path()))
            copyMb = std::max(copyMb, QFileInfo(copy.undoPath).size() / 1048576.0);
        if (!rows && (!(rows = bench::readWrittenRows(store)) || rows->rowCount != lines)) {
            std::fprintf(stderr, "cannot read the imported rows back\n");
            return false;
        }
        const auto floor = bench::timeBareInsert(*rows);
        if (!floor)
            return false;
        floors << *floor;
    }
    const double m = median(times);
    const double f = median(floors);
    const double rm = median(replacing);
    std::printf("import %7d lines into an empty history: median %8.1f ms (target <= %.0f ms) %s; "
                "bare insert of its rows %8.1f ms, ratio %.2f (goal <= 1.2) %s\n",
                lines, m, targetMs, m <= targetMs ? "ok" : "SLOW", f, m / f,
                m / f <= 1.2 ? "ok" : "SLOW");
    std::printf(
        "import %7d lines replacing a history of as many: median %8.1f ms, ratio to the "
        "bare insert %.2f (goal <= 1.5) %s; memory at its peak %.0f MB over the process's, copy "
        "%.2f MB\n",
        lines, rm, rm / f, rm / f <= 1.5 ? "ok" : "SLOW", peakMb, copyMb);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--write-sample"))
        return writeSample(args[2]);

    QTemporaryDir tmp;
    if (!run(tmp, 5840, 150, 7) || !run(tmp, 100000, 2000, 5))
        return 1;
    if (qEnvironmentVariableIntValue("QUORVEX_BENCH_LARGE") == 1 && !run(tmp, 1000000, 20000, 3))
        return 1;
    return 0;
}
