#include "WindowMemory.h"

#include "app/options/SearchOptionsPanel.h"
#include "app/results/ResultsPanel.h"

#include <QMainWindow>
#include <QTabWidget>

namespace quorvex {

WindowMemory::WindowMemory(QMainWindow* window, SearchOptionsPanel* options, ResultsPanel* results)
    : QObject(window), window_(window), options_(options), results_(results) {}

void WindowMemory::restore(QStringList* problems) {
    const WindowChoices c = store_.load(problems);
    if (!c.geometry.isEmpty() && !window_->restoreGeometry(c.geometry))
        *problems << QStringLiteral("Window/geometry（无法识别的窗口大小和位置）");
    options_->setTicks(c.ticks);
    options_->backtestOptions()->setChoices(c.backtestIssues, c.backtestTopK,
                                            c.backtestCombination);
    results_->trendPanel()->setChoices(c.trendKind, c.trendLastIssues, c.trendLast);
    results_->pages()->setCurrentIndex(c.resultPage);
    follow();
}

void WindowMemory::follow() {
    connect(options_, &SearchOptionsPanel::ticksChanged, this, [this] {
        const SearchOptionsPanel::Ticks ticks = options_->ticks();
        for (int tab = 0; tab < int(ticks.size()); ++tab)
            store_.writeTicks(tab, ticks[tab]);
    });
    BacktestOptions* backtest = options_->backtestOptions();
    connect(backtest, &BacktestOptions::changed, this, [this, backtest] {
        store_.writeBacktest(backtest->issues(), backtest->topK(), backtest->combination());
    });
    TrendPanel* trend = results_->trendPanel();
    connect(trend, &TrendPanel::choicesChanged, this, [this, trend] {
        store_.writeTrend(trend->kind(), trend->lastIssues(), trend->lastCount());
    });
    connect(results_->pages(), &QTabWidget::currentChanged, this,
            [this](int page) { store_.writeResultPage(page); });
}

void WindowMemory::saveGeometry() {
    store_.writeGeometry(window_->saveGeometry());
}

} // namespace quorvex
