// Times undo and redo on a history of 100,000 draws. Goals: the undo of a typed draw takes at most
// 50 ms; the undo of a removal (the last draw deleted: the whole history comes back from its
// copy) takes no longer than the import of as many draws over the history, which keeps its copy
// the same way.
#include "changes/HistoryUndo.h"
#include "import/TextImport.h"
#include "import/TypedDraw.h"
#include "maintenance/HistoryMaintenance.h"
#include "store/HistoryStore.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace quorvex;

namespace {

constexpr int kDraws = 100000;
constexpr int kRepeats = 7;

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds one call took; nothing when it failed (said on stderr).
std::optional<double> timed(const char* what, const std::function<QString()>& call) {
    QElapsedTimer timer;
    timer.start();
    const QString error = call();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s failed: %s\n", what, qPrintable(error));
        return std::nullopt;
    }
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    // Two histories of as many draws: each import replaces the other.
    QStringList paths;
    for (quint32 seed : {1u, 2u}) {
        paths << tmp.filePath(QStringLiteral("history-%1.txt").arg(seed));
        if (!bench::writeSyntheticHistoryFile(paths.last(), kDraws, seed))
            return 1;
    }
    const QString& path = paths.first();
    HistoryStore store;
    QString error;
    if (!store.open(tmp.path(), &error) || !importHistoryFile(store, path, {}).replaced) {
        std::fprintf(stderr, "cannot set up the history: %s\n", qPrintable(error));
        return 1;
    }

    QVector<double> typed, undoTyped, redoTyped, erase, undoErase, redoErase, import;
    auto step = [&store](bool redo) {
        const UndoReport r = redo ? redoStep(store) : undoStep(store);
        return r.done ? QString() : r.message();
    };
    for (int r = 0; r < kRepeats; ++r) {
        const auto t = timed("typed draw", [&] {
            ZodiacYear zodiacYear;
            QString why;
            storeTypedDraw(store, {1, 4, 7, 10, 13}, std::nullopt, std::nullopt, {}, zodiacYear,
                           QDate(2026, 1, 1), &why);
            return why;
        });
        const auto u = timed("undo of the typed draw", [&] { return step(false); });
        const auto d = timed("redo of the typed draw", [&] { return step(true); });
        const auto u2 = timed("undo of the typed draw", [&] { return step(false); });
        const auto e = timed("delete the last draw", [&] { return eraseLastDraw(store).error; });
        const auto ue = timed("undo of the deletion", [&] { return step(false); });
        const auto re = timed("redo of the deletion", [&] { return step(true); });
        const auto ue2 = timed("undo of the deletion", [&] { return step(false); });
        const auto i = timed("import over the history", [&] {
            const ImportReport report = importHistoryFile(store, paths[(r + 1) % 2], {});
            return report.replaced ? QString() : report.summary();
        });
        if (!t || !u || !d || !u2 || !e || !ue || !re || !ue2 || !i)
            return 1;
        typed << *t;
        undoTyped << *u;
        redoTyped << *d;
        erase << *e;
        undoErase << *ue;
        redoErase << *re;
        import << *i;
    }
    const double ut = median(undoTyped), ue = median(undoErase), im = median(import);
    std::printf("100,000 draws, medians of %d:\n", kRepeats);
    std::printf("  typed draw stored        %8.1f ms\n", median(typed));
    std::printf("  undo of the typed draw   %8.1f ms (goal <= 50 ms) %s\n", ut,
                ut <= 50 ? "ok" : "SLOW");
    std::printf("  redo of the typed draw   %8.1f ms\n", median(redoTyped));
    std::printf("  last draw deleted        %8.1f ms (with the compaction)\n", median(erase));
    std::printf("  undo of the deletion     %8.1f ms (goal <= the import, %.1f ms) %s\n", ue, im,
                ue <= im ? "ok" : "SLOW");
    std::printf("  redo of the deletion     %8.1f ms\n", median(redoErase));
    std::printf("  import of 100,000 draws over the history %8.1f ms\n", im);
    return 0;
}
