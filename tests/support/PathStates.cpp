#include "PathStates.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

namespace quorvex::test {

QString pathState(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    QString state = QStringLiteral("type %1 at %2:%3")
                        .arg(info.st_mode & S_IFMT, 0, 8)
                        .arg(quint64(info.st_dev))
                        .arg(quint64(info.st_ino));
    if (S_ISREG(info.st_mode)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return state + QStringLiteral(" unreadable");
        state += QLatin1Char(' ') +
                 QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    }
    return state;
}

QStringList folderStates(const QString& folder) {
    QStringList states;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        states << path.mid(folder.size() + 1) + QStringLiteral(": ") + pathState(path);
    }
    states.sort();
    return states;
}

} // namespace quorvex::test
