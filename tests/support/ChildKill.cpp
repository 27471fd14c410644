#include "ChildKill.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRandomGenerator>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvex::test {

void waitForFileToGrow(const QString& path, int timeoutMs) {
    const qint64 before = QFileInfo(path).size();
    QDeadlineTimer deadline(timeoutMs);
    while (QFileInfo(path).size() == before && !deadline.hasExpired())
        ::usleep(1000);
}

bool killAfterRandomDelay(pid_t child, int leastUs, int spreadUs) {
    ::usleep(leastUs + QRandomGenerator::global()->bounded(spreadUs));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status);
}

} // namespace quorvex::test
