#pragma once

#include <QObject>

#include <array>

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;

namespace quorvex {

class Dialogs;
class HistoryCommands;
class OnlineUpdateRunner;
class SearchSession;
struct ValueBases;

// The 设置 menu: the zodiac and segment bases (a change derives the stored history afresh when
// the user agrees, else the base stays), the years an update keeps and the server's address.
// Also pops up under the settings button.
class SettingsMenu : public QObject {
    Q_OBJECT
public:
    SettingsMenu(QMenuBar* bar, SearchSession& session, Dialogs* dialogs,
                 HistoryCommands* historyCommands, OnlineUpdateRunner* update, QObject* parent);

    // The checks of the bases as the session has them.
    void showBases();
    // Under the mouse when the button was clicked; below it when its access key was used.
    void popUpAt(QPushButton* button);
    // The zodiac base, or the segment base, chosen from the menu.
    void chooseBase(bool zodiac, int index);
    void askRetentionYears();

private:
    bool rebuildForBases(const ValueBases& bases, const QString& what);

    SearchSession& session_;
    Dialogs* dialogs_;
    HistoryCommands* historyCommands_;
    QMenu* menu_ = nullptr;
    std::array<QAction*, 2> zodiacBases_{};
    std::array<QAction*, 2> segmentBases_{};
};

} // namespace quorvex
