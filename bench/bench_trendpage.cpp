// How long the page 走势 takes to open on a synthetic history of 100,000 draws (and 1,000,000
// with QUORVEX_BENCH_LARGE=1), over every issue: the window is started on it offscreen, then the
// page is brought into view with each kind in turn and painted. The first opening also reads the
// five number columns into the window's snapshot; each kind after it works out its trend and fair
// figures and paints the rows in view. Goal: within 100 ms at 100,000 draws.
#include "BenchHistory.h"

#include "app/common/Dialogs.h"
#include "app/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTableView>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;
using namespace quorvex::bench;

namespace {

bool run(int draws) {
    QTemporaryDir folder;
    {
        HistoryStore store;
        if (!makeHistory(store, folder.path(), draws))
            return false;
    }
    WidgetDialogs dialogs;
    frmMain w(folder.path(), &dialogs);
    w.resize(1366, 768);
    w.show();
    QApplication::processEvents();
    auto* page = w.findChild<TrendPanel*>();
    auto* kind = page->findChild<QComboBox*>(QStringLiteral("trendKind"));
    // Every issue: the search's range is the whole history.
    page->findChild<QComboBox*>(QStringLiteral("trendRange"))->setCurrentIndex(0);
    auto shown = [&] {
        QApplication::processEvents();
        page->grid()->viewport()->repaint();
        return page->grid()->model()->rowCount() > 0;
    };
    QElapsedTimer timer;
    timer.start();
    w.findChild<ResultsPanel*>()->pages()->setCurrentWidget(page);
    if (!shown()) {
        std::fprintf(stderr, "the trend page shows no rows\n");
        return false;
    }
    const double first = timer.nsecsElapsed() / 1e6;
    std::printf("%8d draws: first opening (the numbers read) %7.1f ms %s\n", draws, first,
                first <= 100 ? "goal met" : "goal MISSED");
    for (int k = 1; k <= kKindCount; ++k) {
        QVector<double> times;
        for (int r = 0; r < 5; ++r) {
            // Another kind first, so that each timed change works the trend out afresh.
            kind->setCurrentIndex((k + 1) % kKindCount);
            shown();
            timer.restart();
            kind->setCurrentIndex(k % kKindCount);
            shown();
            times << timer.nsecsElapsed() / 1e6;
        }
        const double m = median(times);
        std::printf("          %s: %7.1f ms %s\n", qPrintable(kindCaption(k % kKindCount)), m,
                    m <= 100 ? "goal met" : "goal MISSED");
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("the page 走势 opened and painted, medians of 5 (goal: 100 ms at 100,000 draws)\n");
    if (!run(100000))
        return 1;
    if (qEnvironmentVariableIntValue("QUORVEX_BENCH_LARGE") == 1 && !run(1000000))
        return 1;
    return 0;
}
