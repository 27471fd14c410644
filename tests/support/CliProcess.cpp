#include "CliProcess.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>

namespace quorvex::test {

CliResult runProgram(const QStringList& command, const QString& home, int timeoutMs) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(home).filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), QDir(home).filePath(QStringLiteral("data")));
    p.setProcessEnvironment(env);
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(command.first(), command.mid(1));
    CliResult r;
    if (!p.waitForStarted(timeoutMs) || (finished.isEmpty() && !finished.wait(timeoutMs)) ||
        p.exitStatus() != QProcess::NormalExit)
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace quorvex::test
