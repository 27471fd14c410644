#include "BacktestPanel.h"

#include "app/charts/BacktestChart.h"
#include "app/common/Controls.h"

#include "presentation/BacktestGridTexts.h"

#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace quorvex {

namespace {

// Narrow: the columns grow to their texts, close round them, so the panel of a narrow window
// still shows all five.
const QVector<int>& gridWidths() {
    static const QVector<int> widths{600, 600, 600, 450, 600};
    return widths;
}
constexpr int kPadding = 8;

} // namespace

BacktestPanel::BacktestPanel(QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    caption_ = new QLabel(QStringLiteral("还没有回测：选好检索选项，按“回测”。"));
    caption_->setObjectName(QStringLiteral("backtestCaption"));
    caption_->setWordWrap(true);
    v->addWidget(caption_);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setChildrenCollapsible(false);
    v->addWidget(splitter, 1);
    model_ = new TextGridModel(backtestGridHeader(), this);
    grid_ = makeGrid(QStringLiteral("backtestGrid"), model_);
    grid_->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    setColumnWidths(grid_, gridWidths());
    fitColumnsToContents(grid_, gridWidths(), kPadding);
    splitter->addWidget(grid_);

    auto* chartArea = new QWidget;
    auto* chartLayout = new QVBoxLayout(chartArea);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->setSpacing(2);
    auto* emptyChart = new QChart;
    emptyChart->setTitle(QStringLiteral("累计命中与随机期望"));
    emptyChart->legend()->hide();
    chartView_ = new QChartView(emptyChart);
    chartView_->setObjectName(QStringLiteral("backtestChart"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumSize(150, 150);
    chartView_->setFocusPolicy(Qt::NoFocus);
    chartLayout->addWidget(chartView_, 1);
    summary_ = new QLabel;
    summary_->setObjectName(QStringLiteral("backtestSummary"));
    summary_->setAlignment(Qt::AlignCenter);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chartLayout->addWidget(summary_);
    splitter->addWidget(chartArea);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
}

void BacktestPanel::showBacktest(const BacktestResult& result, const QString& caption,
                                 int resultKind, int sxIni) {
    grid_->setUpdatesEnabled(false);
    model_->setRows(backtestGridRows(result, resultKind, sxIni));
    fitColumnsToContents(grid_, gridWidths(), kPadding);
    grid_->scrollToTop();
    grid_->setUpdatesEnabled(true);
    caption_->setText(caption);
    showBacktestChart(chartView_, result);
    summary_->setText(backtestSummary(result));
    hasResults_ = true;
}

} // namespace quorvex
