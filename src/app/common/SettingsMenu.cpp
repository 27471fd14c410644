#include "SettingsMenu.h"

#include "app/history/HistoryCommands.h"
#include "app/history/OnlineUpdateRunner.h"
#include "Controls.h"
#include "Dialogs.h"

#include "session/SearchSession.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace quorvex {

SettingsMenu::SettingsMenu(QMenuBar* bar, SearchSession& session, Dialogs* dialogs,
                           HistoryCommands* historyCommands, OnlineUpdateRunner* update,
                           QObject* parent)
    : QObject(parent), session_(session), dialogs_(dialogs), historyCommands_(historyCommands) {
    menu_ = bar->addMenu(QStringLiteral("设置"));
    menu_->setObjectName(QStringLiteral("mnuSetup"));
    QMenu* sx = menu_->addMenu(QStringLiteral("生肖参数设置(&S)"));
    sx->setObjectName(QStringLiteral("mnuSxcsMenu"));
    QMenu* ds = menu_->addMenu(QStringLiteral("段数参数设置(&A)"));
    ds->setObjectName(QStringLiteral("mnuDscsMenu"));
    for (int i = 0; i < 2; ++i) {
        zodiacBases_[i] =
            sx->addAction(i == 0 ? QStringLiteral("生肖参数0~11") : QStringLiteral("生肖参数1~12"));
        zodiacBases_[i]->setObjectName(indexed("mnuSxcs", i));
        zodiacBases_[i]->setCheckable(true);
        connect(zodiacBases_[i], &QAction::triggered, this, [this, i] { chooseBase(true, i); });
        segmentBases_[i] =
            ds->addAction(i == 0 ? QStringLiteral("段数参数0~2") : QStringLiteral("段数参数1~3"));
        segmentBases_[i]->setObjectName(indexed("mnuDscs", i));
        segmentBases_[i]->setCheckable(true);
        connect(segmentBases_[i], &QAction::triggered, this, [this, i] { chooseBase(false, i); });
    }
    menu_->addSeparator();
    QMenu* order = menu_->addMenu(QStringLiteral("生肖取值设置(&Z)"));
    order->setObjectName(QStringLiteral("mnuSxsetupMenu"));
    // Kept as it always stood, and said to do nothing where it is pointed at.
    const QString orderTip =
        QStringLiteral("这两项不改变任何设置或结果：生肖总按开奖年份和“生肖参数设置”取值。");
    menu_->setToolTipsVisible(true);
    order->setToolTipsVisible(true);
    order->menuAction()->setToolTip(orderTip);
    for (int i = 0; i < 2; ++i) {
        QAction* a = order->addAction(i == 0 ? QStringLiteral("生肖数字按顺序取值")
                                             : QStringLiteral("生肖数字按年龄取值"));
        a->setObjectName(indexed("mnuSxsetup", i));
        a->setToolTip(orderTip);
        a->setEnabled(false); // has no effect on anything
    }
    menu_->addSeparator();
    QAction* years = menu_->addAction(QStringLiteral("历史号码更新检索年(&Y)"));
    years->setObjectName(QStringLiteral("mnuSetDay"));
    connect(years, &QAction::triggered, this, &SettingsMenu::askRetentionYears);
    QAction* server = menu_->addAction(QStringLiteral("历史号码服务器地址(&U)"));
    server->setObjectName(QStringLiteral("mnuServer"));
    connect(server, &QAction::triggered, update, &OnlineUpdateRunner::editServerAddress);
}

void SettingsMenu::showBases() {
    for (int i = 0; i < 2; ++i) {
        zodiacBases_[i]->setChecked(i == session_.settings().SxIni);
        segmentBases_[i]->setChecked(i == session_.settings().DsIni);
    }
}

void SettingsMenu::popUpAt(QPushButton* button) {
    const QPoint mouse = QCursor::pos();
    const bool overButton = button->rect().contains(button->mapFromGlobal(mouse));
    menu_->popup(overButton ? mouse : button->mapToGlobal(QPoint(0, button->height())));
}

bool SettingsMenu::rebuildForBases(const ValueBases& bases, const QString& what) {
    return session_.isEmpty() ||
           historyCommands_->offerRebuild(
               what, QStringLiteral("已保存的各期历史号码要按新参数重算，检索和统计才会正确。"),
               bases, true);
}

void SettingsMenu::chooseBase(bool zodiac, int index) {
    ValueBases bases = session_.valueBases();
    int& base = zodiac ? bases.sxIni : bases.dsIni;
    const bool changes = index != base;
    base = index;
    if (!changes || rebuildForBases(bases, zodiac ? QStringLiteral("生肖参数设置")
                                                  : QStringLiteral("段数参数设置"))) {
        if (zodiac)
            session_.setZodiacBase(index);
        else
            session_.setSegmentBase(index);
    }
    showBases();
}

void SettingsMenu::askRetentionYears() {
    const QString prompt =
        QStringLiteral("请输入更新需要保留的历史号码的年数（2~"
                       "16中的任意自然数），如果超过天数将删除最早的一年的历史号码");
    // An empty answer keeps the setting.
    askUntilTaken(dialogs_, QStringLiteral("设置年数"), prompt,
                  QString::number(session_.settings().IniSerchDay),
                  [this](const QString& answer, QString* error) {
                      return answer.trimmed().isEmpty() ||
                             setRetentionYears(answer, session_.updateSettings(),
                                               session_.settingsStore(), error);
                  });
}

} // namespace quorvex
