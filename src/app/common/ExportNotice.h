#pragma once

#include "Dialogs.h"

#include <QObject>

class QLabel;
class QStatusBar;

namespace quorvex {

// Where the last written file went: its whole path in the status bar for a while, beside a
// link that opens its folder; and, when no program opened the file, a note saying so.
class ExportNotice : public QObject {
    Q_OBJECT
public:
    ExportNotice(QStatusBar* bar, Dialogs* dialogs);

    void show(const QString& path);
    void showUnopened(const QString& path);
    void openFolder();
    QLabel* folderLink() const { return folderLink_; }

private:
    void say(const QString& message);

    QStatusBar* bar_;
    Dialogs* dialogs_;
    QLabel* folderLink_;
    QString path_;
    QString message_; // the status bar's message the link belongs to
};

} // namespace quorvex
