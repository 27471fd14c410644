#include "FileFacts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>

namespace quorvex::test {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList filesIn(const QString& folder) {
    QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    names.removeIf([](const QString& n) { return n.startsWith(QStringLiteral("Quorvex.mdb")); });
    return names;
}

Numbers drawFor(int index) {
    Numbers n{};
    for (int i = 0; i < 5; ++i)
        n[i] = (index * 7 + i * 4) % 15 + 1;
    return n;
}

bool ageFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadWrite) &&
           f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                         QFileDevice::FileModificationTime);
}

void isolateCache(const QString& folder) {
    qputenv("XDG_CACHE_HOME", QFile::encodeName(folder));
}

} // namespace quorvex::test
