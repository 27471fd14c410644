#include "FileOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quorvex {

FileOpener::~FileOpener() {
    // A QProcess ends its program when destroyed; an opener that runs the program it chose in
    // its own process would take the user's open file with it.
    for (QProcess* p : findChildren<QProcess*>())
        if (p->state() != QProcess::NotRunning)
            p->setParent(nullptr);
}

bool FileOpener::open(const QString& path, std::function<void()> failedLater) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    // Without xdg-open, whatever the platform offers; it says at once whether it started.
    if (opener.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    auto* process = new QProcess(this);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this,
            [process, failedLater](int exitCode, QProcess::ExitStatus status) {
                process->deleteLater();
                if ((status != QProcess::NormalExit || exitCode != 0) && failedLater)
                    failedLater();
            });
    process->start(opener, {path});
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}

} // namespace quorvex
