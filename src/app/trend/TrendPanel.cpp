#include "TrendPanel.h"

#include "app/common/Controls.h"
#include "app/results/FrozenColumns.h"

#include "presentation/TrendGridTexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace quorvex {

namespace {

// The summary rows: the columns of the summary after its first (值).
constexpr int kSummaryFigures = 8;
constexpr int kChanceRow = kSummaryFigures - 1;

const QString kChanceTip = QStringLiteral(
    "公平开奖下一个值连续这么多期不出的概率；每一期都独立开出，遗漏得再久，下一期也不会因此更容易"
    "出现。");

} // namespace

TrendPanel::TrendPanel(QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);

    // Two short rows: the page keeps to the width the other two pages need.
    auto* bar = new QGridLayout;
    auto* kindLabel = new QLabel(QStringLiteral("种类(&K)"));
    kind_ = new QComboBox;
    kind_->setObjectName(QStringLiteral("trendKind"));
    for (int k = 0; k < kKindCount; ++k)
        kind_->addItem(kindCaption(k));
    kindLabel->setBuddy(kind_);
    auto* rangeLabel = new QLabel(QStringLiteral("范围(&R)"));
    rangeChoice_ = new QComboBox;
    rangeChoice_->setObjectName(QStringLiteral("trendRange"));
    rangeChoice_->addItems({QStringLiteral("检索范围"), QStringLiteral("最近")});
    rangeChoice_->setCurrentIndex(1);
    rangeLabel->setBuddy(rangeChoice_);
    last_ = new QSpinBox;
    last_->setObjectName(QStringLiteral("trendLast"));
    last_->setRange(1, 9999999);
    last_->setValue(100);
    last_->setSuffix(QStringLiteral(" 期"));
    last_->setAccelerated(true);
    bar->addWidget(kindLabel, 0, 0);
    bar->addWidget(kind_, 0, 1);
    bar->addWidget(rangeLabel, 1, 0);
    bar->addWidget(rangeChoice_, 1, 1);
    bar->addWidget(last_, 1, 2);
    bar->setColumnStretch(3, 1);
    v->addLayout(bar);

    caption_ = new QLabel;
    caption_->setObjectName(QStringLiteral("trendCaption"));
    caption_->setWordWrap(true);
    caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(caption_);

    model_ = new TrendGridModel(this);
    grid_ = makeGrid(QStringLiteral("trendGrid"), model_);
    grid_->setAlternatingRowColors(false);
    grid_->setToolTip(QStringLiteral("鼠标双击列表可以将走势导出到EXCEL"));
    v->addWidget(grid_, 1);

    summaryModel_ = new QStandardItemModel(this);
    summary_ = makeGrid(QStringLiteral("trendSummary"), summaryModel_);
    summary_->horizontalHeader()->hide();
    summary_->setAlternatingRowColors(false);
    summary_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    summary_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    summary_->setFixedHeight(kSummaryFigures * summary_->verticalHeader()->defaultSectionSize() +
                             2 * summary_->frameWidth());
    v->addWidget(summary_);
    // On a narrow window the values scroll; the issue and the draw stay in view.
    new FrozenColumns(grid_, TrendGridModel::kValueColumn);
    new FrozenColumns(summary_, TrendGridModel::kValueColumn);
    // The summary's columns stand under the grid's and scroll with them.
    connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged,
            summary_->horizontalScrollBar(), &QScrollBar::setValue);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { summary_->setColumnWidth(column, width); });

    connect(kind_, &QComboBox::currentIndexChanged, this, &TrendPanel::ask);
    connect(rangeChoice_, &QComboBox::currentIndexChanged, this, [this](int choice) {
        last_->setEnabled(choice == 1);
        ask();
    });
    connect(last_, &QSpinBox::valueChanged, this, &TrendPanel::ask);
    for (QComboBox* box : {kind_, rangeChoice_})
        connect(box, &QComboBox::currentIndexChanged, this, &TrendPanel::choicesChanged);
    connect(last_, &QSpinBox::valueChanged, this, &TrendPanel::choicesChanged);
    showRefusal(QStringLiteral("还没有走势。"));
}

int TrendPanel::kind() const {
    return kind_->currentIndex();
}

bool TrendPanel::lastIssues() const {
    return rangeChoice_->currentIndex() == 1;
}

int TrendPanel::lastCount() const {
    return last_->value();
}

void TrendPanel::setChoices(int kind, bool lastIssues, int last) {
    kind_->setCurrentIndex(kind);
    rangeChoice_->setCurrentIndex(lastIssues ? 1 : 0);
    last_->setValue(last);
}

SearchSession::TrendRange TrendPanel::range(std::optional<qint64> start,
                                            std::optional<qint64> end) const {
    SearchSession::TrendRange range;
    if (rangeChoice_->currentIndex() == 1) {
        range.lastIssues = last_->value();
    } else {
        range.from = start;
        range.to = end;
    }
    return range;
}

void TrendPanel::showTrend(TrendFigures trend) {
    trend_ = std::make_shared<const TrendFigures>(std::move(trend));
    grid_->setUpdatesEnabled(false);
    model_->setTrend(trend_);
    // What is shown in its first sentence; what the chances mean on pointing at it.
    const QString caption = trendSummaryCaption(*trend_);
    caption_->setText(caption.section(QStringLiteral("。"), 0, 0) + QStringLiteral("。"));
    caption_->setToolTip(caption);

    // The summary, one row per figure, under the grid's columns.
    summaryRows_ = trendSummaryUnderGrid(*trend_, fairOmission(*trend_));
    summaryModel_->clear();
    for (int f = 0; f < summaryRows_.size(); ++f) {
        const QStringList& figures = summaryRows_[f];
        for (int c = 0; c < figures.size(); ++c) {
            auto* item = new QStandardItem(figures[c]);
            if (c >= TrendGridModel::kValueColumn)
                item->setTextAlignment(Qt::AlignCenter);
            if (f == kChanceRow)
                item->setToolTip(kChanceTip);
            summaryModel_->setItem(f, c, item);
        }
    }
    fitColumns();
    // The newest issue at the bottom, as a trend is read.
    grid_->scrollToBottom();
    grid_->setUpdatesEnabled(true);
    stale_ = false;
}

void TrendPanel::showRefusal(const QString& text) {
    trend_.reset();
    summaryRows_.clear();
    model_->setContents({}, {});
    summaryModel_->clear();
    caption_->setText(text);
    caption_->setToolTip({});
}

void TrendPanel::markStale() {
    ask();
}

void TrendPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_)
        ask();
}

void TrendPanel::ask() {
    stale_ = true;
    // A page out of view is worked out when it comes into view.
    if (isVisible())
        emit wanted();
}

void TrendPanel::fitColumns() {
    // Worked out from every text a column can hold, not from the rows in view, so no width
    // changes with the range: its heading, a seven-digit issue, a draw of the kind's widest
    // value five times, an omission as long as the range, and the summary under it.
    const QFontMetrics metrics = grid_->fontMetrics();
    constexpr int kPadding = 10;
    const QStringList header = model_->header();
    QString widestValue;
    for (int c = TrendGridModel::kValueColumn; c < header.size(); ++c)
        if (metrics.horizontalAdvance(header[c]) > metrics.horizontalAdvance(widestValue))
            widestValue = header[c];
    const QString widestDraw = QStringList(kPositions, widestValue).join(QLatin1Char(' '));
    const QString longest = QString::number(trend_ ? trend_->rows() : 0);
    for (int c = 0; c < header.size(); ++c) {
        QStringList texts{header[c]};
        if (c == 0)
            texts << QStringLiteral("0000000");
        else if (c == 1)
            texts << widestDraw;
        else
            texts << longest;
        for (const QStringList& figures : std::as_const(summaryRows_))
            texts << figures.value(c);
        int width = 0;
        for (const QString& text : std::as_const(texts))
            width = std::max(width, metrics.horizontalAdvance(text) + kPadding);
        grid_->setColumnWidth(c, width);
        summary_->setColumnWidth(c, width);
    }
}

} // namespace quorvex
