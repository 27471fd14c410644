#include "CliHome.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvex::test {

QByteArray historyText(int count, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        text += QByteArray::number((2001 + i / 365) * 1000 + i % 365 + 1);
        QList<int> pool;
        for (int n = 1; n <= 15; ++n)
            pool << n;
        for (int k = 0; k < 5; ++k)
            text += ' ' + QByteArray::number(pool.takeAt(random.bounded(int(pool.size()))))
                              .rightJustified(2, '0');
        text += "\r\n";
    }
    return text;
}

bool runsAsRoot() {
    return ::geteuid() == 0;
}

CliHome::CliHome() {
    valid_ = dir_.isValid() && QDir(dir_.path()).mkpath(QStringLiteral("history")) &&
             QDir(dir_.path()).mkpath(QStringLiteral("config"));
    for (const QString& d : {QString(), QStringLiteral("history"), QStringLiteral("config")})
        valid_ = valid_ && ::chmod(QFile::encodeName(dir_.filePath(d)).constData(), 0777) == 0;
}

QString CliHome::databasePath() const {
    return QDir(folder()).filePath(QStringLiteral("Quorvex.mdb"));
}

QStringList CliHome::command(const QStringList& arguments, bool unprivileged) const {
    QStringList command;
    if (unprivileged && runsAsRoot())
        command << QStringLiteral("setpriv") << QStringLiteral("--reuid=65534")
                << QStringLiteral("--regid=65534") << QStringLiteral("--clear-groups");
    command << QStringLiteral(QUORVEX_CLI_PATH) << QStringLiteral("--dir") << folder() << arguments;
    return command;
}

CliResult CliHome::run(const QStringList& arguments, bool unprivileged) const {
    return runProgram(command(arguments, unprivileged), dir_.path(), 120000);
}

QString CliHome::writeFile(const QString& name, const QByteArray& bytes) const {
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

} // namespace quorvex::test
