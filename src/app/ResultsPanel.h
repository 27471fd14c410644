#pragma once

#include "TextGridModel.h"

#include "analysis/FollowResult.h"

#include <QSplitter>

class QBoxLayout;
class QChartView;
class QLabel;
class QTableView;

namespace quorvex {

// The right panel: the match grid (MSFlexGrid2), the result grid (MSFlexGrid3) and the chart of
// the tally. Beside each other when there is room; on a narrow window the chart moves below the
// result grid so that its value labels keep room.
class ResultsPanel : public QSplitter {
    Q_OBJECT
public:
    explicit ResultsPanel(QWidget* parent = nullptr);

    // ShowFollowResults: the grids and the chart of a finished search.
    void ShowFollowResults(const FollowResult& result, int resultKind);

    QTableView* matchGrid() const { return MSFlexGrid2; }
    QTableView* resultGrid() const { return MSFlexGrid3; }
    TextGridModel* matchModel() const { return matchModel_; }
    TextGridModel* resultModel() const { return resultModel_; }
    QChartView* chartView() const { return chartView_; }
    QLabel* baselineSummaryLabel() const { return baselineSummary_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitResultGrid();

    TextGridModel* matchModel_ = nullptr;
    TextGridModel* resultModel_ = nullptr;
    QTableView* MSFlexGrid2 = nullptr;
    QTableView* MSFlexGrid3 = nullptr;
    QChartView* chartView_ = nullptr;
    QLabel* baselineSummary_ = nullptr; // how many values differ from chance beyond noise
    QBoxLayout* resultsLayout_ = nullptr;
};

} // namespace quorvex
