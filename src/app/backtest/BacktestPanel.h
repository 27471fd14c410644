#pragma once

#include "app/results/TextGridModel.h"

#include "analysis/Backtest.h"

#include <QWidget>

class QChartView;
class QLabel;
class QTableView;

namespace quorvex {

// The results of the last backtest: what was tried, one row per issue (期号, 前K个结果, 开奖,
// 命中, 期望), and below the chart of the hits so far against chance, with the summary line.
class BacktestPanel : public QWidget {
    Q_OBJECT
public:
    explicit BacktestPanel(QWidget* parent = nullptr);

    // caption: what was tried, in words.
    void showBacktest(const BacktestResult& result, const QString& caption, int resultKind,
                      int sxIni);
    bool hasResults() const { return hasResults_; }

    QTableView* grid() const { return grid_; }
    TextGridModel* model() const { return model_; }
    QChartView* chartView() const { return chartView_; }

private:
    TextGridModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QLabel* caption_ = nullptr;
    QChartView* chartView_ = nullptr;
    QLabel* summary_ = nullptr;
    bool hasResults_ = false;
};

} // namespace quorvex
