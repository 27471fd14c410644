// The window's start-up on a 100,000-draw history against the same on an empty history, in one
// run: from construction until the history grid is filled and the shown window has processed
// its events. Target: within 2.5 x the empty start-up + 150 ms.
#include "app/Dialogs.h"
#include "app/frmMain.h"
#include "BenchHistory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvex;
using namespace quorvex::bench;

namespace {

constexpr int kDraws = 100000;
constexpr int kRepeats = 7;

// Any dialog at start-up means the run did not measure a normal start: noted and reported.
class SilentDialogs : public Dialogs {
public:
    bool question(const QString&, const QString& text) override { return note(text), false; }
    bool warningQuestion(const QString&, const QString& text) override { return note(text), false; }
    void information(const QString&, const QString& text) override { note(text); }
    void warning(const QString&, const QString& text) override { note(text); }
    std::optional<QString> inputText(const QString&, const QString& text, const QString&) override {
        note(text);
        return std::nullopt;
    }
    QString openFileName(const QString& caption, const QString&, const QString&) override {
        note(caption);
        return {};
    }
    QString saveFileName(const QString& caption, const QString&, const QString&) override {
        note(caption);
        return {};
    }
    bool openFile(const QString& path, std::function<void()>) override { return note(path), false; }
    QString shown;

private:
    void note(const QString& text) { shown += text + QLatin1Char('\n'); }
};

// One start-up in ms, or a negative value after a message when the window did not come up
// with the whole history in its grid.
double startUp(const QString& folder, int expectedRows) {
    SilentDialogs dialogs;
    QElapsedTimer timer;
    timer.start();
    double ms = 0;
    {
        frmMain window(folder, &dialogs);
        auto* grid = window.findChild<QTableView*>(QStringLiteral("MSFlexGrid1"));
        window.show();
        QCoreApplication::processEvents();
        ms = timer.nsecsElapsed() / 1e6;
        const int rows = grid ? grid->model()->rowCount() : -1;
        if (rows != expectedRows || !dialogs.shown.isEmpty()) {
            std::fprintf(stderr, "start-up on %d draws showed %d rows; dialogs: %s\n", expectedRows,
                         rows, qPrintable(dialogs.shown));
            return -1;
        }
    }
    QCoreApplication::processEvents(); // the deferred deletions, outside the timing
    return ms;
}

QtMessageHandler qtHandler = nullptr;

// The offscreen platform warns on every shown window that it cannot propagate size hints.
void dropPlatformNoise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QLatin1String("propagateSizeHints")) && qtHandler)
        qtHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qtHandler = qInstallMessageHandler(dropPlatformNoise);
    QApplication app(argc, argv);
    QTemporaryDir settings, empty, full;
    // Settings of this run only, never the user's.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    {
        HistoryStore store;
        QString error;
        if (!store.open(full.path(), &error) || !fillHistory(store, kDraws)) {
            std::fprintf(stderr, "cannot build the history: %s\n", qPrintable(error));
            return 1;
        }
        HistoryStore emptyStore;
        if (!emptyStore.open(empty.path(), &error)) {
            std::fprintf(stderr, "cannot create the empty history: %s\n", qPrintable(error));
            return 1;
        }
    }
    // One start of each before timing: the first window pays for fonts and styles.
    if (startUp(empty.path(), 0) < 0 || startUp(full.path(), kDraws) < 0)
        return 1;

    QVector<double> emptyTimes, fullTimes;
    for (int r = 0; r < kRepeats; ++r) { // alternated, so both see the same machine load
        const double e = startUp(empty.path(), 0);
        const double f = startUp(full.path(), kDraws);
        if (e < 0 || f < 0)
            return 1;
        emptyTimes << e;
        fullTimes << f;
    }
    const double e = median(emptyTimes), f = median(fullTimes);
    const double target = 2.5 * e + 150;
    std::printf("window start-up, medians of %d: empty history %.1f ms, %d draws %.1f ms "
                "(ratio %.2f); target <= 2.5 x %.1f + 150 = %.1f ms: %s\n",
                kRepeats, e, kDraws, f, e > 0 ? f / e : 0.0, e, target,
                f <= target ? "met" : "MISSED");
    return 0;
}
