#include "ProgramFolder.h"

#include "store/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorvex {

namespace {

QString userDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quorvex");
}

// The first start of an installed program: its sample histories in the folder the import
// dialog opens. Copied only into a folder that is new, so nothing of the user's is touched.
void placeSamples(const QString& folder) {
    const QDir samples(QStringLiteral(QUORVEX_INSTALL_DATADIR "/历史号码"));
    const QString target = QDir(folder).filePath(QStringLiteral("历史号码"));
    if (QFileInfo::exists(target) || !samples.exists() || !QDir().mkpath(target))
        return;
    for (const QString& name : samples.entryList({QStringLiteral("*.txt")}, QDir::Files))
        QFile::copy(samples.filePath(name), QDir(target).filePath(name));
}

} // namespace

QString programVersion() {
    return QStringLiteral(QUORVEX_VERSION);
}

ProgramFolder chooseProgramFolder(const QString& preferred) {
    if (QDir(preferred) == QDir(QStringLiteral(QUORVEX_INSTALL_BINDIR))) {
        const QString data = userDataFolder();
        QDir().mkpath(data);
        placeSamples(data);
        return {data, {}};
    }
    // Whatever lies at the history's path (even a link whose disk is away) belongs to this
    // folder; SQLite writes a journal beside the database, so the folder itself must take files.
    const QString path = QDir(preferred).filePath(HistoryStore::databaseFileName());
    if (inspectHistoryPath(path).kind != HistoryPath::Missing || folderIsWritable(preferred))
        return {preferred, {}};
    const QString fallback = userDataFolder();
    QDir().mkpath(fallback);
    return {fallback,
            QStringLiteral("程序所在的文件夹 %1 不能写入，历史数据库改存在 %2。")
                .arg(QDir::toNativeSeparators(preferred), QDir::toNativeSeparators(fallback))};
}

} // namespace quorvex
