// Times the rebuild of the history (backup written, synced and read back, every draw derived
// afresh in one transaction, then the compaction) against the text import of the same draws,
// in the same run, as a ratio. Goal: the rebuild is no slower than the import. Beside them the
// floor: a bare insert of the rows the rebuild stores (values ready, one transaction through
// SQLite's C API, into a fresh history), and the rebuild's ratio to it.
#include "BareInsert.h"
#include "BenchHistory.h"
#include "changes/DerivedRowsMark.h"
#include "import/TextImport.h"
#include "maintenance/HistoryMaintenance.h"
#include "store/HistoryStore.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;

namespace {

bool run(const QTemporaryDir& tmp, int draws, int repeats) {
    const QString path = tmp.filePath(QStringLiteral("history-%1.txt").arg(draws));
    // Another history of as many draws: an import of the same draws again changes nothing.
    const QString otherPath = tmp.filePath(QStringLiteral("other-%1.txt").arg(draws));
    if (!bench::writeSyntheticHistoryFile(path, draws) ||
        !bench::writeSyntheticHistoryFile(otherPath, draws, 7))
        return false;

    QVector<double> imports, replacingImports, rebuilds, compactions, floors;
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
        const ImportReport imported = importHistoryFile(store, path, ValueBases{});
        imports << timer.nsecsElapsed() / 1e6;
        if (!imported.replaced || imported.storedDraws != draws) {
            std::fprintf(stderr, "import failed: %s\n", qPrintable(imported.summary()));
            return false;
        }
        // The import as a user meets it: replacing a history (of the same size), which it first
        // saves, as the rebuild saves its backup.
        timer.restart();
        const ImportReport replacing = importHistoryFile(store, otherPath, ValueBases{});
        replacingImports << timer.nsecsElapsed() / 1e6;
        if (!replacing.replaced) {
            std::fprintf(stderr, "import failed: %s\n", qPrintable(replacing.summary()));
            return false;
        }
        // Other bases than the import's, as after a change of the settings.
        timer.restart();
        const MaintenanceReport rebuilt = rebuildHistory(store, folder.path(), ValueBases{0, 0});
        rebuilds << timer.nsecsElapsed() / 1e6;
        if (rebuilt.failed() || rebuilt.keptDraws != draws || !rebuilt.warning.isEmpty()) {
            std::fprintf(stderr, "rebuild failed: %s\n", qPrintable(rebuilt.message()));
            return false;
        }
        if (!rows && (!(rows = bench::readWrittenRows(store)) || rows->rowCount != draws)) {
            std::fprintf(stderr, "cannot read the rebuilt rows back\n");
            return false;
        }
        const auto floor = bench::timeBareInsert(*rows);
        if (!floor)
            return false;
        floors << *floor;
        // The share of the compaction the rebuild ends with: one more of the same file.
        timer.restart();
        if (!compactKeepingMark(store, &error)) {
            std::fprintf(stderr, "compaction failed: %s\n", qPrintable(error));
            return false;
        }
        compactions << timer.nsecsElapsed() / 1e6;
    }
    const double importMs = bench::median(imports);
    const double replacingMs = bench::median(replacingImports);
    const double rebuildMs = bench::median(rebuilds);
    const double ratio = rebuildMs / replacingMs;
    const double floorMs = bench::median(floors);
    std::printf("rebuild %6d draws: median %8.1f ms; import replacing as many draws %8.1f ms, "
                "ratio %.2f (goal <= 1) %s; import into an empty history %8.1f ms, ratio %.2f; "
                "a compaction %.1f ms; bare insert of its rows %8.1f ms, ratio %.2f\n",
                draws, rebuildMs, replacingMs, ratio, ratio <= 1.0 ? "ok" : "SLOW", importMs,
                rebuildMs / importMs, bench::median(compactions), floorMs, rebuildMs / floorMs);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!run(tmp, 5840, 7) || !run(tmp, 100000, 5))
        return 1;
    return 0;
}
