#include "ResultsPanel.h"
#include "presentation/ChanceTexts.h"

#include "analysis/ChanceBaseline.h"

#include "app/charts/ResultChart.h"
#include "app/common/Controls.h"
#include "FrozenColumns.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quorvex {

namespace {

const QVector<int>& matchGridWidths() {
    static const QVector<int> widths{1280, 800, 800, 800, 800, 800, 2800};
    return widths;
}

const QVector<int>& resultGridWidths() {
    static const QVector<int> widths{480, 680, 800, 880};
    return widths;
}

constexpr int kLeastResultRows = 8;
// Room the chart needs beside the result grid for fifteen bars and their labels.
constexpr int kChartRoomBeside = 280;
// The least room the chart is left when that lets the result grid show every column.
constexpr int kChartLeastBeside = 200;
// The result grid's own columns; the comparison with chance follows them.
constexpr int kOwnResultColumns = 4;

} // namespace

ResultsPanel::ResultsPanel(QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    outdated_ = new QLabel;
    outdated_->setObjectName(QStringLiteral("outdatedResults"));
    outdated_->setWordWrap(true);
    outdated_->setStyleSheet(
        QStringLiteral("QLabel { background: #fff3c4; color: #6b4a00; padding: 3px; }"));
    outdated_->hide();
    v->addWidget(outdated_);

    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("resultPages"));
    pages_->setDocumentMode(true);
    v->addWidget(pages_, 1);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setChildrenCollapsible(false);
    matchModel_ =
        new TextGridModel({QStringLiteral("期号"), QStringLiteral("第1码"), QStringLiteral("第2码"),
                           QStringLiteral("第3码"), QStringLiteral("第4码"),
                           QStringLiteral("第5码"), QStringLiteral("上期开奖")},
                          this);
    MSFlexGrid2 = makeGrid(QStringLiteral("MSFlexGrid2"), matchModel_);
    MSFlexGrid2->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    setColumnWidths(MSFlexGrid2, matchGridWidths());
    // A wide window gives its width to the last column rather than leaving it empty.
    MSFlexGrid2->horizontalHeader()->setStretchLastSection(true);
    splitter->addWidget(MSFlexGrid2);

    resultsArea_ = new QWidget;
    resultsArea_->setObjectName(QStringLiteral("resultsArea"));
    resultsArea_->installEventFilter(this);
    auto* bottomLayout = new QVBoxLayout(resultsArea_);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    resultModel_ = new TextGridModel({QStringLiteral("序号"), QStringLiteral("结果"),
                                      QStringLiteral("出现次数"), QStringLiteral("百分比")},
                                     this);
    MSFlexGrid3 = makeGrid(QStringLiteral("MSFlexGrid3"), resultModel_);
    setColumnWidths(MSFlexGrid3, resultGridWidths());
    // The number and its value stay in view while the comparison with chance scrolls.
    new FrozenColumns(MSFlexGrid3, 2);
    // Eight rows below the heading, whatever the window's height.
    MSFlexGrid3->setMinimumHeight(MSFlexGrid3->horizontalHeader()->sizeHint().height() +
                                  kLeastResultRows *
                                      MSFlexGrid3->verticalHeader()->defaultSectionSize() +
                                  2 * MSFlexGrid3->frameWidth());
    auto* emptyChart = new QChart;
    emptyChart->setTitle(QStringLiteral("结果分布"));
    emptyChart->legend()->hide();
    chartView_ = new QChartView(emptyChart);
    chartView_->setObjectName(QStringLiteral("chartView"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    // Room for a title wrapped to two lines over a plot whose every count label shows.
    chartView_->setMinimumSize(150, 170);
    chartView_->setFocusPolicy(Qt::NoFocus);
    chartArea_ = new QWidget;
    auto* chartLayout = new QVBoxLayout(chartArea_);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->setSpacing(2);
    chartLayout->addWidget(chartView_, 1);
    baselineSummary_ = new QLabel;
    baselineSummary_->setObjectName(QStringLiteral("baselineSummary"));
    baselineSummary_->setAlignment(Qt::AlignCenter);
    // A long line wraps instead of widening the window.
    baselineSummary_->setWordWrap(true);
    chartLayout->addWidget(baselineSummary_);

    beside_ = new QWidget;
    besideLayout_ = new QHBoxLayout(beside_);
    besideLayout_->setContentsMargins(0, 0, 0, 0);
    resultTabs_ = new QTabWidget;
    resultTabs_->setObjectName(QStringLiteral("resultTabs"));
    resultTabs_->setDocumentMode(true);
    bottomLayout->addWidget(beside_);
    bottomLayout->addWidget(resultTabs_);
    // As tabs until the first resize shows there is room beside: started beside, the least
    // width would hold the window too wide to ever change.
    beside_->hide();
    resultTabs_->addTab(MSFlexGrid3, QStringLiteral("结果"));
    resultTabs_->addTab(chartArea_, QStringLiteral("图表"));
    fitResultGrid();
    splitter->addWidget(resultsArea_);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    // The search's page: what the search shown ran with, over its grids.
    auto* searchPage = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchLayout->setSpacing(2);
    searchCaption_ = new QLabel(QStringLiteral("还没有检索：选好检索选项，按“检索”或“组合检索”。"));
    searchCaption_->setObjectName(QStringLiteral("searchCaption"));
    searchCaption_->setWordWrap(true);
    searchCaption_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    searchLayout->addWidget(searchCaption_);
    searchLayout->addWidget(splitter, 1);

    backtest_ = new BacktestPanel;
    pages_->addTab(searchPage, QStringLiteral("检索结果"));
    pages_->addTab(backtest_, QStringLiteral("回测结果"));
    trend_ = new TrendPanel;
    pages_->addTab(trend_, QStringLiteral("走势"));
    connect(pages_, &QTabWidget::currentChanged, this, &ResultsPanel::showOutdatedMark);
}

std::pair<int, int> ResultsPanel::resultGridWidthRange() const {
    // At least the grid's own four columns (the comparison with chance then scrolls into
    // view), at most all of them.
    const int frame =
        2 * MSFlexGrid3->frameWidth() + MSFlexGrid3->verticalScrollBar()->sizeHint().width();
    int own = frame, all = frame;
    for (int c = 0; c < resultModel_->columnCount(); ++c) {
        all += MSFlexGrid3->columnWidth(c);
        if (c < kOwnResultColumns)
            own += MSFlexGrid3->columnWidth(c);
    }
    return {own, all};
}

void ResultsPanel::fitResultGrid() {
    const auto [own, all] = resultGridWidthRange();
    if (resultTabs_->isHidden()) {
        // Beside the chart: every column when the chart keeps its least room, else every column
        // that fits beside the chart's usual room; the chart has the rest.
        const int width = resultsArea_->width();
        const int room = width - all >= kChartLeastBeside ? all : width - kChartRoomBeside;
        MSFlexGrid3->setMinimumWidth(std::clamp(room, own, std::max(own, all)));
        MSFlexGrid3->setMaximumWidth(std::max(own, all));
    } else {
        MSFlexGrid3->setMinimumWidth(own);
        MSFlexGrid3->setMaximumWidth(QWIDGETSIZE_MAX);
    }
}

void ResultsPanel::ShowFollowResults(const FollowResult& result, const QString& caption,
                                     int resultKind) {
    searchCaption_->setText(caption);
    // Filled while hidden, so the grids repaint once. Columns grow to their contents and keep a
    // width the user gave them.
    MSFlexGrid2->setUpdatesEnabled(false);
    matchModel_->setContents(result.matchHeader, result.matchRows);
    fitColumnsToContents(MSFlexGrid2, matchGridWidths());
    MSFlexGrid2->scrollToTop();
    MSFlexGrid2->setUpdatesEnabled(true);

    MSFlexGrid3->setUpdatesEnabled(false);
    // The grid's own columns, then what chance alone gives each value.
    resultModel_->setContents(resultHeaderWithBaseline(result), resultRowsWithBaseline(result));
    resultModel_->setHeaderTips(resultHeaderTipsWithBaseline(result));
    fitColumnsToContents(MSFlexGrid3, resultGridWidths());
    fitResultGrid();
    MSFlexGrid3->scrollToTop();
    MSFlexGrid3->setUpdatesEnabled(true);

    showResultChart(chartView_, result, resultKind);
    baselineSummary_->setText(baselineSummary(result));
    hasResults_ = true;
    searchOutdated_ = false;
    pages_->setCurrentIndex(0);
    showOutdatedMark();
}

void ResultsPanel::showBacktest(const BacktestResult& result, const QString& caption,
                                int resultKind, int sxIni) {
    backtest_->showBacktest(result, caption, resultKind, sxIni);
    backtestOutdated_ = false;
    pages_->setCurrentWidget(backtest_);
    showOutdatedMark();
}

void ResultsPanel::markHistoryChanged() {
    searchOutdated_ = hasResults_;
    backtestOutdated_ = backtest_->hasResults();
    showOutdatedMark();
    // The trend is worked out again instead.
    trend_->markStale();
}

void ResultsPanel::showOutdatedMark() {
    // The mark speaks of the page shown.
    const bool onBacktest = pages_->currentWidget() == backtest_;
    outdated_->setText(onBacktest ? QStringLiteral("以下回测结果基于修改前的历史，请重新回测。")
                                  : QStringLiteral("以下结果基于修改前的历史，请重新检索。"));
    outdated_->setVisible(pages_->currentWidget() != trend_ &&
                          (onBacktest ? backtestOutdated_ : searchOutdated_));
}

bool ResultsPanel::showsOutdatedResults() const {
    return !outdated_->isHidden();
}

void ResultsPanel::arrangeResults(int width) {
    // Beside each other from this width on; the least width side by side stays below it, so a
    // window narrowed past it can still change to tabs.
    const bool beside = width >= resultGridWidthRange().first + kChartRoomBeside;
    if (beside == resultTabs_->isHidden())
        return fitResultGrid();
    if (beside) {
        resultTabs_->hide();
        besideLayout_->addWidget(MSFlexGrid3);
        besideLayout_->addWidget(chartArea_, 1);
        beside_->show();
    } else {
        beside_->hide();
        resultTabs_->addTab(MSFlexGrid3, QStringLiteral("结果"));
        resultTabs_->addTab(chartArea_, QStringLiteral("图表"));
        resultTabs_->show();
    }
    MSFlexGrid3->show();
    chartArea_->show();
    fitResultGrid();
}

bool ResultsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == resultsArea_)
        arrangeResults(static_cast<QResizeEvent*>(event)->size().width());
    return QWidget::eventFilter(watched, event);
}

} // namespace quorvex
