#include "BacktestOptions.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace quorvex {

namespace {

QSpinBox* makeCount(const QString& name, int most, int value) {
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(1, most);
    box->setValue(value);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

} // namespace

BacktestOptions::BacktestOptions(QWidget* parent) : QGroupBox(QStringLiteral("回测"), parent) {
    setObjectName(QStringLiteral("frameBacktest"));
    auto* h = new QHBoxLayout(this);
    issues_ = makeCount(QStringLiteral("backtestIssues"), 99999, 100);
    issues_->setToolTip(QStringLiteral("回测最后多少期，每一期都按它之前的历史检索"));
    topK_ = makeCount(QStringLiteral("backtestTopK"), 15, 3);
    topK_->setToolTip(QStringLiteral("结果排名前几个值算作预测"));
    combination_ = new QCheckBox(QStringLiteral("组合检索"));
    combination_->setObjectName(QStringLiteral("backtestCombination"));
    combination_->setToolTip(
        QStringLiteral("勾选：回测组合组位检索（按组合位数）；不勾选：回测检索（按勾选的位）"));
    button_ = new QPushButton(QStringLiteral("回测(&B)"));
    button_->setObjectName(QStringLiteral("backtestButton"));
    button_->setToolTip(QStringLiteral("用当前的检索选项逐期回测，与随机开奖比较"));
    auto* issuesLabel = new QLabel(QStringLiteral("期数"));
    issuesLabel->setBuddy(issues_);
    auto* topLabel = new QLabel(QStringLiteral("前K个"));
    topLabel->setBuddy(topK_);
    h->addWidget(issuesLabel);
    h->addWidget(issues_);
    h->addWidget(topLabel);
    h->addWidget(topK_);
    h->addWidget(combination_);
    h->addStretch();
    h->addWidget(button_);
    setTabOrder(issues_, topK_);
    setTabOrder(topK_, combination_);
    setTabOrder(combination_, button_);
    connect(issues_, &QSpinBox::valueChanged, this, &BacktestOptions::changed);
    connect(topK_, &QSpinBox::valueChanged, this, &BacktestOptions::changed);
    connect(combination_, &QCheckBox::toggled, this, &BacktestOptions::changed);
}

void BacktestOptions::setChoices(int issues, int topK, bool combination) {
    issues_->setValue(issues);
    topK_->setValue(topK);
    combination_->setChecked(combination);
}

int BacktestOptions::issues() const {
    // A number being typed counts, as it would once the box is left.
    issues_->interpretText();
    return issues_->value();
}

int BacktestOptions::topK() const {
    topK_->interpretText();
    return topK_->value();
}

bool BacktestOptions::combination() const {
    return combination_->isChecked();
}

QWidget* BacktestOptions::firstControl() const {
    return issues_;
}

} // namespace quorvex
