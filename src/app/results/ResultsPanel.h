#pragma once

#include "app/backtest/BacktestPanel.h"
#include "app/trend/TrendPanel.h"
#include "TextGridModel.h"

#include "analysis/FollowResult.h"

#include <QWidget>

class QChartView;
class QHBoxLayout;
class QLabel;
class QTabWidget;
class QTableView;

namespace quorvex {

// The right panel, three pages as tabs: the last search, the last backtest and the trend. The
// search's page has the match grid (MSFlexGrid2) above, the result grid (MSFlexGrid3) and the chart
// of the tally below. The chart stands beside the result grid when there is room, else the two
// share the place as tabs; the result grid always keeps room for eight rows.
class ResultsPanel : public QWidget {
    Q_OBJECT
public:
    explicit ResultsPanel(QWidget* parent = nullptr);

    // ShowFollowResults: the grids and the chart of a finished search, under its caption.
    void ShowFollowResults(const FollowResult& result, const QString& caption, int resultKind);
    // A finished backtest, on its page.
    void showBacktest(const BacktestResult& result, const QString& caption, int resultKind,
                      int sxIni);
    // The history changed after the results shown: they are marked as belonging to the history
    // before, until the next search (the next backtest on its page).
    void markHistoryChanged();
    bool showsOutdatedResults() const;

    QTableView* matchGrid() const { return MSFlexGrid2; }
    QTableView* resultGrid() const { return MSFlexGrid3; }
    TextGridModel* matchModel() const { return matchModel_; }
    TextGridModel* resultModel() const { return resultModel_; }
    QChartView* chartView() const { return chartView_; }
    // The tabs of the result grid and the chart on a narrow window; hidden on a wide one.
    QTabWidget* resultTabs() const { return resultTabs_; }
    // The pages: the search's, the backtest's and the trend's.
    QTabWidget* pages() const { return pages_; }
    BacktestPanel* backtestPanel() const { return backtest_; }
    TrendPanel* trendPanel() const { return trend_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitResultGrid();
    // The result grid's least and greatest useful width.
    std::pair<int, int> resultGridWidthRange() const;
    void arrangeResults(int width);
    void showOutdatedMark();

    TextGridModel* matchModel_ = nullptr;
    TextGridModel* resultModel_ = nullptr;
    QTableView* MSFlexGrid2 = nullptr;
    QTableView* MSFlexGrid3 = nullptr;
    QChartView* chartView_ = nullptr;
    QLabel* searchCaption_ = nullptr;   // every option the search shown ran with
    QLabel* baselineSummary_ = nullptr; // how many values differ from chance beyond noise
    QLabel* outdated_ = nullptr;        // the results belong to the history before a change
    QWidget* resultsArea_ = nullptr;    // below the match grid
    QWidget* chartArea_ = nullptr;      // the chart and the line under it
    QWidget* beside_ = nullptr;         // result grid and chart side by side
    QHBoxLayout* besideLayout_ = nullptr;
    QTabWidget* resultTabs_ = nullptr; // or as tabs
    QTabWidget* pages_ = nullptr;
    BacktestPanel* backtest_ = nullptr;
    TrendPanel* trend_ = nullptr;
    bool hasResults_ = false;
    bool searchOutdated_ = false;
    bool backtestOutdated_ = false;
};

} // namespace quorvex
