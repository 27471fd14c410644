#include "CheckVerdicts.h"

#include "DurableFile.h"
#include "SqliteStatement.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace quorvex {

namespace {

const QLatin1String kStateLine("state ");

} // namespace

CheckVerdicts::CheckVerdicts(const HistoryConnection& store)
    : store_(store), path_(QFileInfo(store.databasePath()).absoluteFilePath()), state_(stateNow()) {
}

QString CheckVerdicts::folder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("quorvex/checks"));
}

QString CheckVerdicts::stateNow() const {
    for (const char* beside : {"-journal", "-wal"})
        if (QFileInfo::exists(path_ + QLatin1String(beside)))
            return {};
    const auto counter = fileChangeCounter(store_);
    if (!counter)
        return {};
    // Only stat, never open: closing any descriptor of the file drops every lock this process
    // holds on it, SQLite's included, and a check may run while a connection reads or writes.
    // Every write moves the change time, which no one can set back, and every commit the counter.
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("%1 %2 %3 %4.%5 %6.%7 c%8")
        .arg(st.st_dev)
        .arg(st.st_ino)
        .arg(st.st_size)
        .arg(st.st_mtim.tv_sec)
        .arg(st.st_mtim.tv_nsec)
        .arg(st.st_ctim.tv_sec)
        .arg(st.st_ctim.tv_nsec)
        .arg(*counter);
}

QString CheckVerdicts::cacheFile() const {
    const QByteArray name =
        QCryptographicHash::hash(QFile::encodeName(path_), QCryptographicHash::Sha1).toHex();
    return QDir(folder()).filePath(QString::fromLatin1(name));
}

QMap<QString, QString> CheckVerdicts::all() const {
    QMap<QString, QString> verdicts;
    if (state_.isEmpty())
        return verdicts;
    QFile f(cacheFile());
    if (!f.open(QIODevice::ReadOnly) || f.size() > 64 * 1024)
        return verdicts;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    // The file names its path too: two paths of one hash never mix.
    if (lines.size() < 2 || lines[0] != path_ || lines[1] != kStateLine + state_)
        return verdicts;
    for (const QString& line : lines.mid(2)) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab > 0)
            verdicts.insert(line.left(tab), line.mid(tab + 1));
    }
    return verdicts;
}

std::optional<QString> CheckVerdicts::recall(const QString& topic) const {
    const QMap<QString, QString> verdicts = all();
    const auto at = verdicts.constFind(topic);
    return at == verdicts.cend() ? std::nullopt : std::optional<QString>(*at);
}

void CheckVerdicts::remember(const QString& topic, const QString& verdict) const {
    QMap<QString, QString> verdicts = all();
    verdicts.insert(topic, verdict);
    write(verdicts);
}

void CheckVerdicts::keepOnly(const QMap<QString, QString>& verdicts) const {
    write(verdicts);
}

void CheckVerdicts::write(const QMap<QString, QString>& verdicts) const {
    if (state_.isEmpty() || stateNow() != state_)
        return;
    QStringList lines{path_, kStateLine + state_};
    for (auto v = verdicts.cbegin(); v != verdicts.cend(); ++v) {
        if (v.key().contains(QLatin1Char('\t')) || v.key().contains(QLatin1Char('\n')) ||
            v.value().contains(QLatin1Char('\n')))
            return;
        lines << v.key() + QLatin1Char('\t') + v.value();
    }
    if (!QDir().mkpath(folder()))
        return;
    // As every file of ours: fresh, renamed into place, never through a link.
    writeFileFresh(cacheFile(), (lines.join(QLatin1Char('\n')) + '\n').toUtf8(), nullptr);
}

} // namespace quorvex
