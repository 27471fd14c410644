#include "HistoryCommands.h"

#include "app/common/Controls.h"

#include "changes/HistoryUndo.h"
#include "maintenance/HistoryMaintenance.h"

#include <QAction>
#include <QApplication>
#include <QPointer>

#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QTableView>

namespace quorvex {

namespace {

const QString kEraseTitle = QStringLiteral("删除最后历史");
const QString kClearTitle = QStringLiteral("确认清空");
const QString kDeleteTitle = QStringLiteral("删除期数");
const QString kClearQuestion =
    QStringLiteral("确定要清空所有的历史号码吗？\n清空前会先保存一份历史号码的副本；"
                   "清空后可以用 历史管理 → 撤销（Ctrl+Z）恢复。");

bool answeredSomething(const std::optional<QString>& answer) {
    return answer && !answer->trimmed().isEmpty();
}

} // namespace

HistoryCommands::HistoryCommands(HistoryStore& store, SearchSession& session, Dialogs* dialogs,
                                 const QString& folder, QObject* parent)
    : QObject(parent), store_(store), session_(session), dialogs_(dialogs), folder_(folder) {}

void HistoryCommands::show(const QString& title, const MaintenanceReport& report) {
    // The window shows the new history behind the message, not the old one.
    emit commandDone(report.changed);
    if (report.failed() || !report.warning.isEmpty())
        dialogs_->warning(title, report.message());
    else
        dialogs_->information(title, report.message());
}

void HistoryCommands::refuse(const QString& title) {
    dialogs_->information(title, QStringLiteral("输入的不是正整数，没有删除任何历史号码。"));
}

void HistoryCommands::Command3_Click() {
    BusyCursor busy;
    const MaintenanceReport report = eraseLastDraw(store_);
    busy.release();
    show(kEraseTitle, report);
}

void HistoryCommands::mnuClear_Click() {
    if (!dialogs_->question(kClearTitle, kClearQuestion))
        return;
    BusyCursor busy;
    const MaintenanceReport report = clearHistory(store_);
    busy.release();
    show(QStringLiteral("清空历史号码"), report);
}

std::optional<qint64> HistoryCommands::selectedIssue() const {
    // Only a highlighted row counts: the grid makes its first cell current, unmarked, when it
    // merely takes the focus.
    if (!grid_ || !grid_->currentIndex().isValid() ||
        !grid_->selectionModel()->isSelected(grid_->currentIndex()))
        return std::nullopt;
    bool ok = false;
    const qint64 issue =
        grid_->model()->index(grid_->currentIndex().row(), 0).data().toLongLong(&ok);
    return ok ? std::optional(issue) : std::nullopt;
}

void HistoryCommands::mnuDlzd_Click() {
    // The offered default is the grid's current row, from the menu bar as from the grid's own
    // menu; with none, the last issue, which keeps every draw.
    const qint64 offered =
        selectedIssue().value_or(session_.lastIssue().value_or(session_.lngNextIssue() - 1));
    const auto answer = dialogs_->inputText(
        kDeleteTitle,
        QStringLiteral("请输入历史号码需要保留到的最后一期期号（该期之后的历史号码将被删除）"),
        QString::number(offered));
    if (!answeredSomething(answer))
        return;
    const std::optional<qint64> lastKept = positiveAnswer(answer);
    if (!lastKept)
        return refuse(kDeleteTitle);
    BusyCursor busy;
    const MaintenanceReport report = keepToIssue(store_, folder_, *lastKept, session_.valueBases());
    busy.release();
    show(kDeleteTitle, report);
}

void HistoryCommands::mnuEszhzd_Click() {
    const auto answer = dialogs_->inputText(
        kDeleteTitle,
        QStringLiteral(
            "请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"),
        QStringLiteral("1"));
    if (!answeredSomething(answer))
        return;
    const std::optional<qint64> count = positiveAnswer(answer);
    if (!count)
        return refuse(kDeleteTitle);
    BusyCursor busy;
    const MaintenanceReport report = dropLastIssues(store_, folder_, *count, session_.valueBases());
    busy.release();
    show(kDeleteTitle, report);
}

void HistoryCommands::mnuUndo_Click() {
    takeStep(false);
}

void HistoryCommands::mnuRedo_Click() {
    takeStep(true);
}

void HistoryCommands::takeStep(bool redo) {
    BusyCursor busy;
    const UndoReport report = redo ? redoStep(store_) : undoStep(store_);
    busy.release();
    if (report.failed() && !report.nothing)
        dialogs_->warning(redo ? QStringLiteral("重做") : QStringLiteral("撤销"), report.message());
    else
        emit said(report.message());
    // The keys work from every control, so the focus stays where they were pressed instead of
    // moving to the entry boxes as after the other commands; on the grid, a hint that went with
    // the empty history hands it to the grid.
    QPointer<QWidget> focus = QApplication::focusWidget();
    emit commandDone(report.done);
    refreshStepActions();
    if (focus && grid_ && grid_->isAncestorOf(focus) && !focus->isVisible())
        focus = grid_;
    if (focus && focus->isVisible() && focus->isEnabled())
        focus->setFocus(Qt::OtherFocusReason);
}

void HistoryCommands::setStepActions(QAction* undo, QAction* redo) {
    undo_ = undo;
    redo_ = redo;
    refreshStepActions();
}

void HistoryCommands::setWritable(bool writable) {
    writable_ = writable;
    refreshStepActions();
}

void HistoryCommands::refreshStepActions() {
    if (!undo_ || !redo_)
        return;
    QVector<ChangeStep> steps;
    if (store_.isOpen()) {
        QString why;
        steps = listSteps(store_, &why).value_or(QVector<ChangeStep>());
    }
    auto name = [](const ChangeStep* step, const QString& verb, QChar key) {
        // An ampersand of a file name is shown, not taken for an access key.
        return step ? QStringLiteral("%1：%2(&%3)")
                          .arg(verb,
                               QString(step->name).replace(QLatin1Char('&'), QStringLiteral("&&")),
                               key)
                    : QStringLiteral("%1(&%2)").arg(verb, key);
    };
    const ChangeStep* undo = nextUndo(steps);
    const ChangeStep* redo = nextRedo(steps);
    undo_->setText(name(undo, QStringLiteral("撤销"), QLatin1Char('U')));
    redo_->setText(name(redo, QStringLiteral("重做"), QLatin1Char('Y')));
    undo_->setEnabled(writable_ && undo);
    redo_->setEnabled(writable_ && redo);
}

void HistoryCommands::mnuRebuild_Click() {
    offerRebuild(QStringLiteral("重算历史号码"), QString(), session_.valueBases(), false);
}

bool HistoryCommands::rebuildWith(const ValueBases& bases) {
    BusyCursor busy;
    const MaintenanceReport report = rebuildHistory(store_, folder_, bases);
    busy.release();
    show(QStringLiteral("重算历史号码"), report);
    return report.changed;
}

bool HistoryCommands::offerRebuild(const QString& title, const QString& why,
                                   const ValueBases& bases, bool newBases) {
    const QString lead = why.isEmpty() ? QString() : why + QLatin1Char('\n');
    const QString which =
        newBases ? QStringLiteral("新参数") : QStringLiteral("当前的生肖参数和段数参数");
    if (!writable_) {
        dialogs_->warning(title,
                          lead + QStringLiteral("历史号码不能写入，无法按%1重算%2")
                                     .arg(which, newBases ? QStringLiteral("，参数保持不变。")
                                                          : QStringLiteral("。")));
        return false;
    }
    if (!dialogs_->question(
            title, lead + QStringLiteral("现在按%1重新计算全部历史号码的生肖、段数等数值吗？"
                                         "重算前会先保存一份副本%2")
                              .arg(which, newBases ? QStringLiteral("；选“取消”则参数保持不变。")
                                                   : QStringLiteral("。"))))
        return false;
    return rebuildWith(bases);
}

void HistoryCommands::popUpMenuOn(QTableView* grid, QMenu* menu) {
    grid_ = grid;
    menu_ = menu;
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
}

void HistoryCommands::popUpAt(const QPoint& globalPos, const QModelIndex& row) {
    // The row the menu opens on becomes the selected one, which its entries act on.
    if (row.isValid())
        grid_->setCurrentIndex(row);
    menu_->popup(globalPos);
}

bool HistoryCommands::eventFilter(QObject* watched, QEvent* event) {
    if (!grid_ || (watched != grid_ && watched != grid_->viewport()))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonRelease && watched == grid_->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            popUpAt(mouse->globalPosition().toPoint(), grid_->indexAt(mouse->position().toPoint()));
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu) {
        // The mouse's own context menu event is left out: the release above opens the menu.
        const auto* context = static_cast<QContextMenuEvent*>(event);
        if (context->reason() == QContextMenuEvent::Keyboard) {
            // Below the current cell when it is in view, else at the grid's corner.
            const QRect cell = grid_->visualRect(grid_->currentIndex());
            const QPoint below = cell.bottomLeft();
            const QPoint at = grid_->viewport()->rect().contains(below) ? below : QPoint(0, 0);
            popUpAt(grid_->viewport()->mapToGlobal(at), grid_->currentIndex());
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvex
