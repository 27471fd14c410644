#include "ExportNotice.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>

namespace quorvex {

namespace {
constexpr int kShownMs = 15000;
}

ExportNotice::ExportNotice(QStatusBar* bar, Dialogs* dialogs)
    : QObject(bar), bar_(bar), dialogs_(dialogs) {
    folderLink_ = new QLabel(QStringLiteral("<a href=\"folder\">打开所在文件夹</a>"));
    folderLink_->setObjectName(QStringLiteral("openExportFolder"));
    folderLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                         Qt::LinksAccessibleByKeyboard);
    folderLink_->hide();
    bar_->addPermanentWidget(folderLink_);
    connect(folderLink_, &QLabel::linkActivated, this, &ExportNotice::openFolder);
    // The link goes with the message it belongs to: the next message, whoever shows it, takes
    // it away.
    connect(bar_, &QStatusBar::messageChanged, folderLink_, [this](const QString& message) {
        folderLink_->setVisible(!message.isEmpty() && message == message_);
    });
}

void ExportNotice::say(const QString& message) {
    message_ = message;
    bar_->showMessage(message, kShownMs);
}

void ExportNotice::show(const QString& path) {
    path_ = path;
    say(QStringLiteral("已保存：%1").arg(QDir::toNativeSeparators(path)));
}

void ExportNotice::showUnopened(const QString& path) {
    path_ = path;
    say(QStringLiteral("已保存：%1　（没有能打开它的程序）").arg(QDir::toNativeSeparators(path)));
}

void ExportNotice::openFolder() {
    // The folder was asked for by a click: a folder that opens nowhere is answered in a message.
    const QPointer<ExportNotice> self(this);
    const QString path = path_;
    const auto unopened = [self, path] {
        if (self)
            self->dialogs_->warning(QStringLiteral("打开所在文件夹"),
                                    QStringLiteral("没有能打开文件夹的程序。文件在 %1。")
                                        .arg(QDir::toNativeSeparators(path)));
    };
    if (!dialogs_->openFile(QFileInfo(path_).absolutePath(), unopened))
        unopened();
}

} // namespace quorvex
