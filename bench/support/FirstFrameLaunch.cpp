#include "FirstFrameLaunch.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace quorvex::bench {

namespace {

constexpr int kChildDescriptor = 3;

// Waits for pid within timeoutMs; false (the child killed) when it did not end in time.
bool reap(pid_t pid, int timeoutMs, int* status) {
    QElapsedTimer waited;
    waited.start();
    while (::waitpid(pid, status, WNOHANG) == 0) {
        if (waited.elapsed() > timeoutMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, status, 0);
            return false;
        }
        ::usleep(2000);
    }
    return true;
}

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

FirstFrame launchToFirstFrame(const QString& program, const QStringList& environment,
                              const QString& errorLog, int timeoutMs) {
    FirstFrame run;
    // Everything the child needs is made before the fork: after it, only system calls.
    QByteArray path = QFile::encodeName(program);
    char* argv[] = {path.data(), nullptr};
    QList<QByteArray> variables;
    for (const QString& v : environment)
        variables << v.toLocal8Bit();
    variables << QByteArrayLiteral("QUORVEX_FIRST_FRAME_FD=") +
                     QByteArray::number(kChildDescriptor);
    std::vector<char*> envp;
    for (QByteArray& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    const int log = ::open(QFile::encodeName(errorLog).constData(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int pipe[2];
    if (log < 0 || ::pipe2(pipe, O_CLOEXEC) != 0) {
        run.error = systemError("cannot prepare the start");
        if (log >= 0)
            ::close(log);
        return run;
    }

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // dup2 onto itself would keep close-on-exec: cleared by hand then.
        const bool ready = pipe[1] == kChildDescriptor
                               ? ::fcntl(kChildDescriptor, F_SETFD, 0) == 0
                               : ::dup2(pipe[1], kChildDescriptor) == kChildDescriptor;
        if (ready && ::dup2(log, STDERR_FILENO) == STDERR_FILENO)
            ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(pipe[1]);
    ::close(log);
    if (pid < 0) {
        ::close(pipe[0]);
        run.error = systemError("fork");
        return run;
    }

    QByteArray received;
    while (!received.contains('\n')) {
        const qint64 left = timeoutMs - timer.elapsed();
        pollfd p{pipe[0], POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, int(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            run.error = QStringLiteral("no first frame within %1 ms").arg(timeoutMs);
            break;
        }
        char buffer[256];
        const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            run.error = QStringLiteral("the program ended without a first frame");
            break;
        }
        received.append(buffer, n);
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    // Whatever follows the line, until the program closes its end as it quits.
    while (run.error.isEmpty()) {
        const qint64 left = timeoutMs - timer.elapsed();
        pollfd p{pipe[0], POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, int(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        char buffer[256];
        const ssize_t n = ready > 0 ? ::read(pipe[0], buffer, sizeof buffer) : 0;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        received.append(buffer, n);
    }
    ::close(pipe[0]);

    int status = 0;
    // After its line the window quits by itself; one that has not said it is ended at once.
    if (!reap(pid, run.error.isEmpty() ? timeoutMs : 0, &status) && run.error.isEmpty())
        run.error = QStringLiteral("the program did not quit after its first frame");
    else if (run.error.isEmpty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        run.error = QStringLiteral("the program quit with status %1").arg(status);
    if (run.error.isEmpty()) {
        const QStringList lines = QString::fromLocal8Bit(received).split(QLatin1Char('\n'));
        run.line = lines.value(0);
        run.after = lines.mid(1).join(QLatin1Char('\n')).trimmed();
        run.ms = ms;
    }
    return run;
}

} // namespace quorvex::bench
