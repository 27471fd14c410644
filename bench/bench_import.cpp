// Times the text import of whole history files into a fresh history, and beside it the floor:
// a bare insert of the rows the import stores (values ready, one transaction through SQLite's C
// API, into a fresh history). Goal: the import takes at most 2.5 times the floor.
//   bench_import                      5,840 and 100,000 lines, medians against the targets
//   bench_import --write-sample FILE  writes the shipped synthetic sample history
#include "BareInsert.h"
#include "history/HistoryLine.h"
#include "history/HistoryStore.h"
#include "import/TextImport.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool run(const QTemporaryDir& tmp, int lines, double targetMs, int repeats) {
    const QString path = tmp.filePath(QStringLiteral("history-%1.txt").arg(lines));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bench::syntheticHistoryText(bench::syntheticHistory(lines))) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    file.close();

    // Import and floor take turns, so that a busy spell of the machine falls on both.
    QVector<double> times, floors;
    std::optional<bench::WrittenRows> rows;
    for (int r = 0; r < repeats; ++r) {
        QTemporaryDir folder;
        HistoryStore store;
        QString error;
        if (!store.open(folder.path(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        const ImportReport report = importHistoryFile(store, path, ValueBases{});
        times << timer.nsecsElapsed() / 1e6;
        if (!report.replaced || report.storedDraws != lines) {
            std::fprintf(stderr, "import failed: %s\n", qPrintable(report.summary()));
            return false;
        }
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
    std::printf("import %6d lines: median %8.1f ms (target <= %.0f ms) %s; bare insert of its "
                "rows %8.1f ms, ratio %.2f (goal <= 2.5) %s\n",
                lines, m, targetMs, m <= targetMs ? "ok" : "SLOW", f, m / f,
                m / f <= 2.5 ? "ok" : "SLOW");
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
    return 0;
}
