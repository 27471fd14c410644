#pragma once

#include "app/charts/ChartPicture.h"
#include "Dialogs.h"

#include "export/SheetExport.h"
#include "store/HistoryStore.h"

#include <QObject>

#include <functional>
#include <memory>

class QChartView;
class QMenu;
class QTableView;

namespace quorvex {

class TextGridModel;

// The exports of the window: the history as a text file (Command4), the grids as workbooks
// (mnuDcls and a double click on each grid, the backtest table's too) and the charts as
// pictures (each chart's context menu).
// The core writes the files; each written file is then handed to the platform's file opener.
// A file that no program opens is still saved: that is a note, not a failure.
class ExportCommands : public QObject {
    Q_OBJECT
public:
    ExportCommands(const HistoryStore& store, const QString& folder, Dialogs* dialogs,
                   QObject* parent = nullptr);

    // The grids whose double click exports them, and the charts whose context menu saves them.
    void watchGrids(QTableView* history, QTableView* matches, TextGridModel* matchModel,
                    QTableView* results, TextGridModel* resultModel);
    void watchBacktestGrid(QTableView* grid, TextGridModel* model);
    // The trend page's grids; shown gives the trend they show, if any.
    using ShownTrend = std::function<std::shared_ptr<const TrendFigures>()>;
    void watchTrendGrids(QTableView* grid, QTableView* summary, ShownTrend shown);
    // The menu and its entries are named name + "Menu", name + "SavePng", name + "SaveSvg"; the
    // file offered is fileBase in the history's folder.
    void watchChart(QChartView* chart, const QString& name, const QString& fileBase);

    void Command4_Click();
    void mnuDcls_Click();
    void MSFlexGrid1_DblClick();
    void MSFlexGrid2_DblClick();
    void MSFlexGrid3_DblClick();
    void backtestGrid_DblClick();
    void trendGrid_DblClick();
    void saveChart(QChartView* chart, PictureFormat format);

signals:
    // A file was written (and, but for the chart, handed to the opener).
    void saved(const QString& path);
    // A saved file that the opener found no program for; possibly a while after saved.
    void notOpened(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void exportSheet(ExportedGrid grid);
    // Double clicks anywhere on a grid, its heading and the empty space below the rows included.
    void watchDoubleClicks(QTableView* grid);
    // Says the file is written and hands it to the opener.
    void open(const QString& path);

    const HistoryStore& store_;
    QString folder_;
    Dialogs* dialogs_;
    QTableView* MSFlexGrid1 = nullptr;
    QTableView* MSFlexGrid2 = nullptr;
    QTableView* MSFlexGrid3 = nullptr;
    TextGridModel* matchModel_ = nullptr;
    TextGridModel* resultModel_ = nullptr;
    QTableView* backtestGrid_ = nullptr;
    TextGridModel* backtestModel_ = nullptr;
    QTableView* trendGrid_ = nullptr;
    QTableView* trendSummary_ = nullptr;
    ShownTrend trendShown_;
    struct WatchedChart {
        QChartView* view;
        QMenu* menu;
        QString fileBase;
    };
    QList<WatchedChart> charts_;
};

} // namespace quorvex
