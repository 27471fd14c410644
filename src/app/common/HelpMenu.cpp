#include "HelpMenu.h"

#include "Dialogs.h"

#include "changes/HistoryCopies.h"
#include "settings/ProgramFolder.h"
#include "store/HistoryConnection.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quorvex {

namespace {

QString manualText() {
    QFile file(QStringLiteral(":/help/manual.md"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("# 使用说明\n\n使用说明没有随程序一起安装。");
    return QString::fromUtf8(file.readAll());
}

} // namespace

HelpMenu::HelpMenu(QMenuBar* bar, Dialogs* dialogs, const QString& folder,
                   const QString& settingsFile, QWidget* window)
    : QObject(window), dialogs_(dialogs), folder_(folder), settingsFile_(settingsFile),
      window_(window) {
    QMenu* menu = bar->addMenu(QStringLiteral("帮助(&H)"));
    menu->setObjectName(QStringLiteral("mnuHelp"));
    QAction* manual = menu->addAction(QStringLiteral("使用说明(&M)"));
    manual->setObjectName(QStringLiteral("mnuManual"));
    manual->setShortcut(QKeySequence::HelpContents);
    connect(manual, &QAction::triggered, this, &HelpMenu::showManual);
    QAction* about = menu->addAction(QStringLiteral("关于 Quorvex(&A)"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, &HelpMenu::showAbout);
}

void HelpMenu::showManual() {
    // One manual window, brought forward again; the main window stays usable beside it.
    if (!manual_) {
        manual_ = new QDialog(window_);
        manual_->setObjectName(QStringLiteral("manualWindow"));
        manual_->setWindowTitle(QStringLiteral("Quorvex 使用说明"));
        auto* layout = new QVBoxLayout(manual_);
        auto* text = new QTextBrowser;
        text->setObjectName(QStringLiteral("manualText"));
        text->setOpenLinks(false);
        text->setMarkdown(manualText());
        layout->addWidget(text);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, manual_, &QDialog::close);
        layout->addWidget(buttons);
        const QSize wanted(760, 640);
        manual_->resize(window_->screen()
                            ? wanted.boundedTo(window_->screen()->availableGeometry().size())
                            : wanted);
    }
    manual_->show();
    manual_->raise();
    manual_->activateWindow();
}

QString HelpMenu::aboutText() const {
    return QStringLiteral("Quorvex %1\n"
                          "保存和研究每期从 1 到 15 中开出 5 个号码的开奖历史。\n\n"
                          "版权所有 © 2026 Quorvex 开发者。可以安装和使用；"
                          "未经书面许可，不得发布修改过的版本。\n\n"
                          "历史号码：%2\n"
                          "副本和历史号码文本：%3\n"
                          "导出的文件：%4\n"
                          "设置：%5")
        .arg(
            programVersion(),
            QDir::toNativeSeparators(QDir(folder_).filePath(HistoryConnection::databaseFileName())),
            QDir::toNativeSeparators(QDir(folder_).filePath(historyCopyFolderName())),
            QDir::toNativeSeparators(folder_), QDir::toNativeSeparators(settingsFile_));
}

void HelpMenu::showAbout() {
    dialogs_->information(QStringLiteral("关于 Quorvex"), aboutText());
}

} // namespace quorvex
