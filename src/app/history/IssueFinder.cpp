#include "IssueFinder.h"

#include "HistoryGridModel.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTableView>

namespace quorvex {

int issueRow(const QVector<DrawNumbers>& draws, const QString& typed) {
    const QString digits = typed.trimmed();
    if (digits.isEmpty())
        return -1;
    for (qsizetype r = 0; r < draws.size(); ++r)
        if (QString::number(draws[r].issue).startsWith(digits))
            return int(r);
    for (qsizetype r = draws.size() - 1; r >= 0; --r)
        if (QString::number(draws[r].issue).endsWith(digits))
            return int(r);
    return -1;
}

IssueFinder::IssueFinder(QTableView* grid, const HistoryGridModel* model, QWidget* parent)
    : QWidget(parent), grid_(grid), model_(model) {
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("查找期号"));
    box_ = new QLineEdit;
    box_->setObjectName(QStringLiteral("findIssue"));
    box_->setPlaceholderText(QStringLiteral("Ctrl+F，如 2013045 或 045"));
    box_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,7}")), box_));
    box_->setClearButtonEnabled(true);
    caption->setBuddy(box_);
    result_ = new QLabel;
    result_->setObjectName(QStringLiteral("findIssueResult"));
    h->addWidget(caption);
    h->addWidget(box_, 1);
    h->addWidget(result_);
    connect(box_, &QLineEdit::textEdited, this, &IssueFinder::find);
    box_->installEventFilter(this);
    grid_->installEventFilter(this);
}

void IssueFinder::activate() {
    box_->setFocus(Qt::ShortcutFocusReason);
    box_->selectAll();
}

void IssueFinder::remember() {
    const QModelIndex current = grid_->currentIndex();
    origin_ = Origin{grid_->verticalScrollBar()->value(), current,
                     current.isValid() && grid_->selectionModel()->isSelected(current)};
}

void IssueFinder::restore() {
    if (!origin_)
        return;
    grid_->selectionModel()->clear();
    if (origin_->current.isValid())
        grid_->selectionModel()->setCurrentIndex(
            origin_->current, origin_->selected ? QItemSelectionModel::ClearAndSelect
                                                : QItemSelectionModel::NoUpdate);
    grid_->verticalScrollBar()->setValue(origin_->top);
}

void IssueFinder::find(const QString& typed) {
    if (!origin_)
        remember();
    const int row = issueRow(model_->draws(), typed);
    result_->setText(row < 0 && !typed.isEmpty() ? QStringLiteral("没有这一期") : QString());
    if (row < 0) {
        // A row left from the digits typed before would pass for the issue found.
        restore();
        return;
    }
    const QModelIndex at = model_->index(row, 0);
    grid_->setCurrentIndex(at);
    grid_->scrollTo(at, QAbstractItemView::PositionAtCenter);
    emit jumped();
}

bool IssueFinder::eventFilter(QObject* watched, QEvent* event) {
    // The find ends when the box is left; the next one starts from where the grid then stands.
    if (watched == box_ && event->type() == QEvent::FocusOut)
        origin_.reset();
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // A digit typed on the grid starts a search instead of the grid's own item search.
    if (watched == grid_ && key->text().size() == 1 && key->text()[0].isDigit() &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        box_->setFocus(Qt::OtherFocusReason);
        box_->setText(key->text());
        find(box_->text());
        return true;
    }
    if (watched == box_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                            key->key() == Qt::Key_Escape)) {
        grid_->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quorvex
