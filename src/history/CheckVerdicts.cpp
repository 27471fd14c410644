#include "CheckVerdicts.h"

#include "DurableFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace quorvex {

namespace {

const QLatin1String kStateLine("state ");
constexpr qint64 kSettledMs = 2000;

} // namespace

CheckVerdicts::CheckVerdicts(const QString& databasePath)
    : path_(QFileInfo(databasePath).absoluteFilePath()), state_(stateOf(path_)) {}

QString CheckVerdicts::folder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("quorvex/checks"));
}

QString CheckVerdicts::stateOf(const QString& path) {
    for (const char* beside : {"-journal", "-wal"})
        if (QFileInfo::exists(path + QLatin1String(beside)))
            return {};
    // Only stat, never open: closing any descriptor of the file drops every lock this process
    // holds on it, SQLite's included, and a check may run while a connection reads or writes.
    // Every write moves the change time, which no one can set back: with the file's identity,
    // size and modification time it tells a changed file from an unchanged one.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("%1 %2 %3 %4.%5 %6.%7")
        .arg(st.st_dev)
        .arg(st.st_ino)
        .arg(st.st_size)
        .arg(st.st_mtim.tv_sec)
        .arg(st.st_mtim.tv_nsec)
        .arg(st.st_ctim.tv_sec)
        .arg(st.st_ctim.tv_nsec);
}

QString CheckVerdicts::cacheFile() const {
    const QByteArray name =
        QCryptographicHash::hash(QFile::encodeName(path_), QCryptographicHash::Sha1).toHex();
    return QDir(folder()).filePath(QString::fromLatin1(name));
}

std::optional<QString> CheckVerdicts::recall(const QString& topic) const {
    if (state_.isEmpty())
        return std::nullopt;
    QFile f(cacheFile());
    if (!f.open(QIODevice::ReadOnly) || f.size() > 64 * 1024)
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    // The file names its path too: two paths of one hash never mix.
    if (lines.size() < 2 || lines[0] != path_ || lines[1] != kStateLine + state_)
        return std::nullopt;
    const QString prefix = topic + QLatin1Char('\t');
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    return std::nullopt;
}

void CheckVerdicts::remember(const QString& topic, const QString& verdict) const {
    if (state_.isEmpty() || stateOf(path_) != state_ || topic.contains(QLatin1Char('\t')) ||
        verdict.contains(QLatin1Char('\n')))
        return;
    // Only a file that has settled: the times a file system keeps can be coarser than the time
    // between two writes, and a write in the same tick as the one before would go unseen.
    const QDateTime modified = QFileInfo(path_).lastModified();
    const QDateTime now = QDateTime::currentDateTime();
    if (modified > now || modified.msecsTo(now) < kSettledMs)
        return;
    QStringList lines{path_, kStateLine + state_};
    QFile old(cacheFile());
    if (old.open(QIODevice::ReadOnly) && old.size() <= 64 * 1024) {
        const QStringList kept = QString::fromUtf8(old.readAll()).split(QLatin1Char('\n'));
        if (kept.size() >= 2 && kept[0] == lines[0] && kept[1] == lines[1])
            for (const QString& line : kept.mid(2))
                if (!line.isEmpty() && !line.startsWith(topic + QLatin1Char('\t')))
                    lines << line;
    }
    lines << topic + QLatin1Char('\t') + verdict;
    if (!QDir().mkpath(folder()))
        return;
    // As every file of ours: fresh, renamed into place, never through a link.
    writeFileDurably(cacheFile(), (lines.join(QLatin1Char('\n')) + '\n').toUtf8(), nullptr);
}

} // namespace quorvex
