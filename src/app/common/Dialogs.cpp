#include "Dialogs.h"

#include "FileDialog.h"

#include <QInputDialog>
#include <QMessageBox>

namespace quorvex {

void askUntilTaken(Dialogs* dialogs, const QString& title, const QString& prompt,
                   const QString& offered,
                   const std::function<bool(const QString& answer, QString* error)>& take) {
    QString shown = offered;
    for (;;) {
        const auto answer = dialogs->inputText(title, prompt, shown);
        if (!answer)
            return;
        QString error;
        if (take(*answer, &error))
            return;
        dialogs->warning(QStringLiteral("输入有误"), error);
        shown = *answer;
    }
}

WidgetDialogs::WidgetDialogs(QWidget* parent) : parent_(parent) {}

bool WidgetDialogs::question(const QString& title, const QString& text) {
    return QMessageBox::question(parent_, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

bool WidgetDialogs::confirm(const QString& title, const QString& text) {
    return QMessageBox::question(parent_, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

bool WidgetDialogs::warningQuestion(const QString& title, const QString& text) {
    return QMessageBox::warning(parent_, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
}

void WidgetDialogs::information(const QString& title, const QString& text) {
    QMessageBox::information(parent_, title, text);
}

void WidgetDialogs::warning(const QString& title, const QString& text) {
    QMessageBox::warning(parent_, title, text);
}

std::optional<QString> WidgetDialogs::inputText(const QString& title, const QString& prompt,
                                                const QString& defaultText) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

QString WidgetDialogs::openFileName(const QString& caption, const QString& startFolder,
                                    const QString& filter) {
    return chooseFileToOpen(parent_, caption, startFolder, filter);
}

QString WidgetDialogs::saveFileName(const QString& caption, const QString& startPath,
                                    const QString& filter) {
    return chooseFileToSave(parent_, caption, startPath, filter);
}

bool WidgetDialogs::openFile(const QString& path, std::function<void()> failedLater) {
    return opener_.open(path, std::move(failedLater));
}

} // namespace quorvex
