#include "ExportTarget.h"

#include "changes/HistoryCopies.h"
#include "store/HistoryFileAccess.h"
#include "store/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <array>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quorvex {

namespace {

// Linux gives up after as many links in one path.
constexpr int kMaxLinks = 40;

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// path with its links resolved as the kernel does (no ".." is folded by hand, which would
// pass over a linked folder), also when the last link leads to nothing yet: then its folder is
// resolved. Empty when the links go round.
QString resolvedPath(const QString& path) {
    QString p = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        const QByteArray name = QFile::encodeName(p);
        struct stat info {};
        if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            // Not there yet (or not to be seen): the file would go into the resolved folder.
            const QString existing = QFileInfo(p).canonicalFilePath();
            if (!existing.isEmpty())
                return existing;
            const QString folder = QFileInfo(folderOf(p)).canonicalFilePath();
            return folder.isEmpty() ? p : QDir(folder).filePath(nameOf(p));
        }
        std::array<char, PATH_MAX> link{};
        const ssize_t size = ::readlink(name.constData(), link.data(), link.size() - 1);
        if (size < 0)
            return {};
        const QString to = QFile::decodeName(QByteArray(link.data(), size));
        p = QDir::isAbsolutePath(to) ? to : folderOf(p) + QLatin1Char('/') + to;
    }
    return {};
}

// The files of the history in a program folder that no export may replace.
class GuardedFiles {
public:
    explicit GuardedFiles(const QString& programFolder) {
        const QString database = QDir(programFolder).filePath(HistoryStore::databaseFileName());
        // SQLite keeps its journals beside the file a linked history leads to; those beside the
        // link are kept off all the same.
        for (const QString& base : {database, resolvedPath(database)}) {
            for (const QString& suffix : {QString(), QStringLiteral("-journal"),
                                          QStringLiteral("-wal"), QStringLiteral("-shm")}) {
                const QString path = base + suffix;
                if (const auto id = fileId(path))
                    history_.append(*id);
                if (const auto folder = fileId(folderOf(path)))
                    historyNames_.append({*folder, nameOf(path)});
            }
        }
        const QString copies = QDir(programFolder).filePath(historyCopyFolderName());
        copyFolder_ = fileId(copies);
        if (!copyFolder_)
            return;
        const QDir dir(copies);
        const QStringList names =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            if (const auto id = fileId(dir.filePath(name)))
                copies_.append(*id);
        }
    }

    bool isHistory(const std::optional<FileId>& file, const std::optional<FileId>& folder,
                   const QString& name) const {
        if (file)
            return history_.contains(*file);
        for (const auto& [guardedFolder, guardedName] : historyNames_) {
            if (folder && *folder == guardedFolder && name == guardedName)
                return true;
        }
        return false;
    }

    bool isCopy(const std::optional<FileId>& file, const std::optional<FileId>& folder) const {
        return (file && copies_.contains(*file)) ||
               (folder && copyFolder_ && *folder == *copyFolder_);
    }

private:
    QList<FileId> history_;
    QList<std::pair<FileId, QString>> historyNames_; // for journals that are not there right now
    std::optional<FileId> copyFolder_;
    QList<FileId> copies_;
};

} // namespace

ExportTarget::ExportTarget(QString path, QString file, QString programFolder)
    : path_(std::move(path)), file_(std::move(file)), programFolder_(std::move(programFolder)) {}

std::optional<ExportTarget> ExportTarget::check(const QString& path, const QString& programFolder,
                                                QString* error) {
    const QString shown = QDir::toNativeSeparators(path);
    auto refuse = [&](const QString& why) -> std::optional<ExportTarget> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QString file = resolvedPath(path);
    if (file.isEmpty())
        return refuse(QStringLiteral("%1 经过的链接太多或绕成了圈，导出不写到那里").arg(shown));
    mode_t mode = 0;
    const auto id = fileId(file, &mode);
    if (id && !S_ISREG(mode))
        return refuse(QStringLiteral("%1 不是普通文件（是文件夹、设备、管道或套接字），"
                                     "导出不替换它")
                          .arg(shown));
    const GuardedFiles guarded(programFolder);
    const auto folder = fileId(folderOf(file));
    if (guarded.isHistory(id, folder, nameOf(file)))
        return refuse(QStringLiteral("%1 是历史号码库或它的日志文件，导出不能写到那里").arg(shown));
    if (guarded.isCopy(id, folder))
        return refuse(QStringLiteral("%1 在保存历史号码副本的文件夹“%2”中，导出不能写到那里")
                          .arg(shown, historyCopyFolderName()));
    return ExportTarget(path, file, programFolder);
}

bool ExportTarget::stillAllowed(QString* error) const {
    const auto again = check(path_, programFolder_, error);
    if (!again)
        return false;
    if (again->file_ != file_) {
        if (error)
            *error = QStringLiteral("%1 在导出期间改指向了别的文件，导出没有写到那里")
                         .arg(QDir::toNativeSeparators(path_));
        return false;
    }
    return true;
}

} // namespace quorvex
