#pragma once

#include <QObject>
#include <QPointer>

class QDialog;
class QMenuBar;
class QWidget;

namespace quorvex {

class Dialogs;

// 帮助: 使用说明, the manual, in a window of its own beside the main window; 关于, the version,
// the licence and where the history, its copies and the settings live.
class HelpMenu : public QObject {
    Q_OBJECT
public:
    // folder: the program's folder; settingsFile: the settings store's file.
    HelpMenu(QMenuBar* bar, Dialogs* dialogs, const QString& folder, const QString& settingsFile,
             QWidget* window);

    void showManual();
    void showAbout();
    // What 关于 says.
    QString aboutText() const;

private:
    Dialogs* dialogs_;
    QString folder_;
    QString settingsFile_;
    QWidget* window_;
    QPointer<QDialog> manual_;
};

} // namespace quorvex
