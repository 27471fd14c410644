#include "ResultsPanel.h"

#include "Controls.h"
#include "ResultChart.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTableView>

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

} // namespace

ResultsPanel::ResultsPanel(QWidget* parent) : QSplitter(Qt::Vertical, parent) {
    setChildrenCollapsible(false);
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
    addWidget(MSFlexGrid2);

    auto* bottom = new QWidget;
    bottom->setObjectName(QStringLiteral("resultsArea"));
    resultsLayout_ = new QBoxLayout(QBoxLayout::LeftToRight, bottom);
    resultsLayout_->setContentsMargins(0, 0, 0, 0);
    bottom->installEventFilter(this);
    resultModel_ = new TextGridModel({QStringLiteral("序号"), QStringLiteral("结果"),
                                      QStringLiteral("出现次数"), QStringLiteral("百分比")},
                                     this);
    MSFlexGrid3 = makeGrid(QStringLiteral("MSFlexGrid3"), resultModel_);
    setColumnWidths(MSFlexGrid3, resultGridWidths());
    fitResultGrid();
    resultsLayout_->addWidget(MSFlexGrid3);
    auto* emptyChart = new QChart;
    emptyChart->setTitle(QStringLiteral("结果分布"));
    emptyChart->legend()->hide();
    chartView_ = new QChartView(emptyChart);
    chartView_->setObjectName(QStringLiteral("chartView"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumSize(150, 150);
    chartView_->setFocusPolicy(Qt::NoFocus);
    auto* chartArea = new QWidget;
    auto* chartLayout = new QVBoxLayout(chartArea);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->setSpacing(2);
    chartLayout->addWidget(chartView_, 1);
    baselineSummary_ = new QLabel;
    baselineSummary_->setObjectName(QStringLiteral("baselineSummary"));
    baselineSummary_->setAlignment(Qt::AlignCenter);
    chartLayout->addWidget(baselineSummary_);
    resultsLayout_->addWidget(chartArea, 1);
    addWidget(bottom);
    setStretchFactor(0, 1);
    setStretchFactor(1, 1);
}

void ResultsPanel::fitResultGrid() {
    // As wide as its columns, so no column is cut and the chart gets the rest.
    int width =
        2 * MSFlexGrid3->frameWidth() + MSFlexGrid3->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < resultModel_->columnCount(); ++c)
        width += MSFlexGrid3->columnWidth(c);
    MSFlexGrid3->setFixedWidth(width);
}

void ResultsPanel::ShowFollowResults(const FollowResult& result, int resultKind) {
    // Filled while hidden, so the grids repaint once. Columns grow to their contents and keep a
    // width the user gave them.
    MSFlexGrid2->setUpdatesEnabled(false);
    matchModel_->setContents(result.matchHeader, result.matchRows);
    fitColumnsToContents(MSFlexGrid2, matchGridWidths());
    MSFlexGrid2->scrollToTop();
    MSFlexGrid2->setUpdatesEnabled(true);

    MSFlexGrid3->setUpdatesEnabled(false);
    resultModel_->setContents(result.resultHeader, result.resultRows);
    fitColumnsToContents(MSFlexGrid3, resultGridWidths());
    fitResultGrid();
    MSFlexGrid3->scrollToTop();
    MSFlexGrid3->setUpdatesEnabled(true);

    showResultChart(chartView_, result, resultKind);
    baselineSummary_->setText(baselineSummary(result));
}

bool ResultsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == resultsLayout_->parentWidget()) {
        // Side by side from this width on; the minimum width side by side stays below it, so
        // a window narrowed past it can still change to one above the other.
        constexpr int kChartRoomBeside = 280;
        const int width = static_cast<QResizeEvent*>(event)->size().width();
        resultsLayout_->setDirection(width >= MSFlexGrid3->width() + kChartRoomBeside
                                         ? QBoxLayout::LeftToRight
                                         : QBoxLayout::TopToBottom);
    }
    return QSplitter::eventFilter(watched, event);
}

} // namespace quorvex
