#include "ExportTemporary.h"

#include "store/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvex {

namespace {

bool sameFile(int fd, const QString& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(QFile::encodeName(path).constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

} // namespace

ExportTemporary::ExportTemporary(ExportTarget target) : target_(std::move(target)) {}

ExportTemporary::~ExportTemporary() {
    if (fd_ < 0)
        return;
    if (!committed_)
        ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
}

void ExportTemporary::removeLeftovers() const {
    const QFileInfo target(target_.file());
    const QRegularExpression ours(QStringLiteral("^%1\\.[0-9a-f]{8}\\.tmp$")
                                      .arg(QRegularExpression::escape(target.fileName())));
    const QDir folder = target.absoluteDir();
    for (const QString& name : folder.entryList({target.fileName() + QStringLiteral(".*.tmp")},
                                                QDir::Files | QDir::Hidden | QDir::System)) {
        if (!ours.match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat info {};
        // Only a file no running export holds: its lock went with the process that wrote it.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

bool ExportTemporary::create(QString* error) {
    removeLeftovers();
    for (int attempt = 0; attempt <= 100; ++attempt) {
        path_ =
            target_.file() + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(),
                                                           8, 16, QLatin1Char('0'));
        const QByteArray name = QFile::encodeName(path_);
        fd_ = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            if (errno == EEXIST)
                continue;
            if (error)
                *error = QStringLiteral("无法在文件夹中创建文件（%1）").arg(systemErrorText(errno));
            return false;
        }
        if (::flock(fd_, LOCK_EX) != 0) {
            ::unlink(name.constData());
            ::close(fd_);
            fd_ = -1;
            break;
        }
        // Another export may have taken the fresh file for a leftover before it was locked.
        if (sameFile(fd_, path_))
            return true;
        ::close(fd_);
        fd_ = -1;
    }
    if (error)
        *error = QStringLiteral("无法在文件夹中创建文件");
    return false;
}

bool ExportTemporary::write(const QByteArray& bytes, QString* error) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = QStringLiteral("无法写到磁盘（%1）").arg(systemErrorText(errno));
            return false;
        }
        done += n;
    }
    return true;
}

bool ExportTemporary::commit(QString* error) {
    if (!syncFile(path_)) {
        if (error)
            *error = QStringLiteral("无法写到磁盘");
        return false;
    }
    if (!target_.stillAllowed(error))
        return false;
    // A replaced file keeps who may read it.
    struct stat older {};
    if (::stat(QFile::encodeName(target_.file()).constData(), &older) == 0)
        ::fchmod(fd_, older.st_mode & 07777);
    committed_ = renameDurably(path_, target_.file(), error);
    return committed_;
}

bool writeExportFile(const ExportTarget& target, const QByteArray& bytes, QString* error) {
    ExportTemporary temporary(target);
    return temporary.create(error) && temporary.write(bytes, error) && temporary.commit(error);
}

} // namespace quorvex
