// Times the exports of whole histories (text file, workbook) against the text import of the
// same history in the same run, on 5,840 and 100,000 synthetic draws.
#include "BenchHistory.h"
#include "SyntheticHistory.h"

#include "export/HistoryTextExport.h"
#include "export/SheetExport.h"
#include "import/TextImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <optional>

using namespace quorvex;
using namespace quorvex::bench;

namespace {

// Median wall time of repeats runs in ms; nothing when a run fails.
std::optional<double> time(int repeats, const std::function<bool()>& run) {
    QVector<double> ms;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer timer;
        timer.start();
        if (!run())
            return std::nullopt;
        ms << timer.nsecsElapsed() / 1e6;
    }
    return median(ms);
}

bool measure(int draws, int repeats) {
    QTemporaryDir tmp;
    const QString source = tmp.filePath(QStringLiteral("history.txt"));
    if (!writeSyntheticHistoryFile(source, draws))
        return false;

    HistoryStore store;
    QString error;
    if (!store.open(tmp.path(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    // Every import replaces the whole history, so each run does the same work.
    const auto import = time(repeats, [&] {
        const ImportReport report = importHistoryFile(store, source, ValueBases{});
        if (!report.replaced || report.storedDraws != draws)
            error = report.summary();
        return report.replaced && report.storedDraws == draws;
    });
    qint64 textBytes = 0;
    const auto text = time(repeats, [&] {
        const auto path = exportHistoryText(store, tmp.path(), &error);
        textBytes = path ? QFileInfo(*path).size() : 0;
        return path.has_value();
    });
    qint64 sheetBytes = 0;
    const auto sheet = time(repeats, [&] {
        const auto path = exportHistorySheet(store, tmp.path(), &error);
        sheetBytes = path ? QFileInfo(*path).size() : 0;
        return path.has_value();
    });
    if (!import || !text || !sheet) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(error));
        return false;
    }
    std::printf("%6d draws: import %8.1f ms | text %7.1f ms (%.2f x import, %lld bytes) | "
                "workbook %8.1f ms (%.2f x import, %lld bytes)\n",
                draws, *import, *text, *text / *import, textBytes, *sheet, *sheet / *import,
                sheetBytes);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("history exports, medians of wall time, as a ratio to the import of the same "
                "history\n");
    if (!measure(5840, 7) || !measure(100000, 3))
        return 1;
    return 0;
}
