#include "ExportCommands.h"

#include "app/history/HistoryGridModel.h"
#include "app/results/TextGridModel.h"
#include "Controls.h"

#include "export/HistoryTextExport.h"

#include <QApplication>
#include <QChartView>
#include <QContextMenuEvent>
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTableView>

#include <algorithm>

namespace quorvex {

namespace {

const QString kSheetTitle = QStringLiteral("导出到电子表格");
const QString kChartTitle = QStringLiteral("保存图表");

} // namespace

ExportCommands::ExportCommands(const HistoryStore& store, const QString& folder, Dialogs* dialogs,
                               QObject* parent)
    : QObject(parent), store_(store), folder_(folder), dialogs_(dialogs) {}

void ExportCommands::watchGrids(QTableView* history, QTableView* matches, TextGridModel* matchModel,
                                QTableView* results, TextGridModel* resultModel) {
    MSFlexGrid1 = history;
    MSFlexGrid2 = matches;
    MSFlexGrid3 = results;
    matchModel_ = matchModel;
    resultModel_ = resultModel;
    for (QTableView* grid : {history, matches, results})
        watchDoubleClicks(grid);
}

void ExportCommands::watchBacktestGrid(QTableView* grid, TextGridModel* model) {
    backtestGrid_ = grid;
    backtestModel_ = model;
    watchDoubleClicks(grid);
}

void ExportCommands::watchTrendGrids(QTableView* grid, QTableView* summary, ShownTrend shown) {
    trendGrid_ = grid;
    trendSummary_ = summary;
    trendShown_ = std::move(shown);
    watchDoubleClicks(grid);
    watchDoubleClicks(summary);
}

void ExportCommands::watchDoubleClicks(QTableView* grid) {
    // A grid without rows still exports its heading.
    grid->viewport()->installEventFilter(this);
    grid->horizontalHeader()->viewport()->installEventFilter(this);
}

void ExportCommands::watchChart(QChartView* chart, const QString& name, const QString& fileBase) {
    // The Menu key needs the focus on the chart.
    chart->setFocusPolicy(Qt::StrongFocus);
    chart->installEventFilter(this);
    chart->viewport()->installEventFilter(this);
    auto* menu = new QMenu(chart);
    menu->setObjectName(name + QStringLiteral("Menu"));
    QAction* png = menu->addAction(QStringLiteral("保存为PNG图片(&P)..."));
    png->setObjectName(name + QStringLiteral("SavePng"));
    connect(png, &QAction::triggered, this,
            [this, chart] { saveChart(chart, PictureFormat::Png); });
    QAction* svg = menu->addAction(QStringLiteral("保存为SVG图片(&S)..."));
    svg->setObjectName(name + QStringLiteral("SaveSvg"));
    connect(svg, &QAction::triggered, this,
            [this, chart] { saveChart(chart, PictureFormat::Svg); });
    charts_.append({chart, menu, fileBase});
}

void ExportCommands::open(const QString& path) {
    emit saved(path);
    // The opener may answer after the window is gone.
    const QPointer<ExportCommands> self(this);
    const auto unopened = [self, path] {
        if (self)
            emit self->notOpened(path);
    };
    if (!dialogs_->openFile(path, unopened))
        unopened();
}

void ExportCommands::Command4_Click() {
    const QString title = QStringLiteral("历史号码导出文本文件");
    QString error;
    const auto path = exportHistoryText(store_, folder_, &error);
    if (!path) {
        dialogs_->warning(title, error);
        return;
    }
    open(*path);
}

void ExportCommands::exportSheet(ExportedGrid grid) {
    QString error;
    std::optional<QString> path;
    if (grid == ExportedGrid::History) {
        path = exportHistorySheet(store_, folder_, &error);
    } else if (grid == ExportedGrid::Trend) {
        const auto trend = trendShown_();
        if (!trend) {
            dialogs_->warning(kSheetTitle, QStringLiteral("走势页上没有走势，没有导出表格。"));
            return;
        }
        path = exportTrendSheet(*trend, QDate::currentDate(), folder_, &error);
    } else {
        const TextGridModel* model = grid == ExportedGrid::Matches   ? matchModel_
                                     : grid == ExportedGrid::Results ? resultModel_
                                                                     : backtestModel_;
        path = exportGridSheet(grid, model->header(), model->rows().all(), folder_, &error);
    }
    if (!path) {
        dialogs_->warning(kSheetTitle, error);
        return;
    }
    open(*path);
}

void ExportCommands::mnuDcls_Click() {
    // The grid is hidden while it is copied, as a sign of the work.
    const bool hadFocus = MSFlexGrid1->hasFocus();
    BusyCursor busy;
    MSFlexGrid1->hide();
    QString error;
    const auto path = exportHistorySheet(store_, folder_, &error);
    MSFlexGrid1->show();
    if (hadFocus)
        MSFlexGrid1->setFocus(Qt::OtherFocusReason);
    busy.release();
    if (!path) {
        dialogs_->warning(kSheetTitle, error);
        return;
    }
    open(*path);
}

void ExportCommands::MSFlexGrid1_DblClick() {
    exportSheet(ExportedGrid::History);
}

void ExportCommands::MSFlexGrid2_DblClick() {
    exportSheet(ExportedGrid::Matches);
}

void ExportCommands::MSFlexGrid3_DblClick() {
    exportSheet(ExportedGrid::Results);
}

void ExportCommands::backtestGrid_DblClick() {
    exportSheet(ExportedGrid::Backtest);
}

void ExportCommands::trendGrid_DblClick() {
    exportSheet(ExportedGrid::Trend);
}

void ExportCommands::saveChart(QChartView* chart, PictureFormat format) {
    const auto watched = std::find_if(charts_.cbegin(), charts_.cend(),
                                      [chart](const WatchedChart& c) { return c.view == chart; });
    if (watched == charts_.cend())
        return;
    const bool png = format == PictureFormat::Png;
    const QString suffix = pictureSuffix(format);
    QString path = dialogs_->saveFileName(
        kChartTitle, QDir(folder_).filePath(watched->fileBase + suffix),
        png ? QStringLiteral("PNG 图片 (*.png)") : QStringLiteral("SVG 图片 (*.svg)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    QString error;
    const auto target = ExportTarget::check(path, folder_, &error);
    if (!target || !saveChartPicture(chart, *target, format, &error)) {
        dialogs_->warning(kChartTitle, error + QStringLiteral("\n图表没有保存。"));
        return;
    }
    emit saved(path);
}

bool ExportCommands::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (QTableView* grid :
             {MSFlexGrid1, MSFlexGrid2, MSFlexGrid3, backtestGrid_, trendGrid_, trendSummary_}) {
            if (!grid ||
                (watched != grid->viewport() && watched != grid->horizontalHeader()->viewport()))
                continue;
            if (grid == MSFlexGrid1)
                MSFlexGrid1_DblClick();
            else if (grid == MSFlexGrid2)
                MSFlexGrid2_DblClick();
            else if (grid == MSFlexGrid3)
                MSFlexGrid3_DblClick();
            else if (grid == backtestGrid_)
                backtestGrid_DblClick();
            else
                trendGrid_DblClick();
            // Not taken away: a double click on a column border still fits the column.
            break;
        }
    }
    if (event->type() == QEvent::ContextMenu) {
        for (const WatchedChart& chart : std::as_const(charts_)) {
            if (watched != chart.view && watched != chart.view->viewport())
                continue;
            const auto* context = static_cast<QContextMenuEvent*>(event);
            // From the keyboard the menu stands at the chart's corner, wherever the mouse is.
            chart.menu->popup(context->reason() == QContextMenuEvent::Keyboard
                                  ? chart.view->mapToGlobal(QPoint(0, 0))
                                  : context->globalPos());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvex
