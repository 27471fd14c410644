#include "DurableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvex {

namespace {

bool syncFolderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray readBack(const QByteArray& name, qsizetype expected) {
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray bytes;
    bytes.resize(expected + 1); // one more: a longer file shows
    qsizetype done = 0;
    for (ssize_t n = 0; done < bytes.size(); done += n) {
        n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            n = 0;
            continue;
        }
        if (n <= 0)
            break;
    }
    ::close(fd);
    bytes.truncate(done);
    return bytes;
}

} // namespace

QString systemErrorText(int error) {
    switch (error) {
    case ENOSPC:
        return QStringLiteral("磁盘已满");
    case EDQUOT:
        return QStringLiteral("超出了磁盘配额");
    case EFBIG:
        return QStringLiteral("文件超出了允许的大小");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入的权限");
    case EROFS:
        return QStringLiteral("文件系统是只读的");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    default:
        return QStringLiteral("系统错误 %1").arg(error);
    }
}

QString notOursToWrite(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 是一个链接（指向 %2），程序不经链接写入")
            .arg(path, QFile::symLinkTarget(path));
    const QString what = S_ISDIR(info.st_mode)    ? QStringLiteral("文件夹")
                         : S_ISFIFO(info.st_mode) ? QStringLiteral("命名管道")
                         : S_ISSOCK(info.st_mode) ? QStringLiteral("套接字")
                                                  : QStringLiteral("设备");
    return QStringLiteral("%1 是一个%2，不是普通文件").arg(path, what);
}

bool syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool renameDurably(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        if (error)
            *error = QStringLiteral("无法把 %1 改名为 %2").arg(from, to);
        return false;
    }
    syncFolderOf(to);
    return true;
}

namespace {

bool writeFresh(const QString& path, const QByteArray& bytes, bool durably, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("无法写入文件 %1：%2").arg(path, why);
        return false;
    };
    if (const QString refusal = notOursToWrite(path); !refusal.isEmpty()) {
        if (error)
            *error = refusal + QStringLiteral("，没有写入");
        return false;
    }
    // A fresh file of a name of its own beside the target: nothing there is opened, followed or
    // written into; the rename then replaces whatever name stands at the target, never its file.
    const QByteArray name = QFile::encodeName(path);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary =
            name + '.' +
            QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0') +
            ".tmp";
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0644);
        if (fd < 0 && errno != EEXIST)
            return fail(systemErrorText(errno));
    }
    if (fd < 0)
        return fail(QStringLiteral("无法在文件夹中创建文件"));
    const bool written = writeAll(fd, bytes) && (!durably || ::fsync(fd) == 0);
    const int writeError = errno;
    ::close(fd);
    auto abandon = [&](const QString& why) {
        ::unlink(temporary.constData());
        return fail(why);
    };
    if (!written)
        return abandon(QStringLiteral("无法写到磁盘（%1）").arg(systemErrorText(writeError)));
    // Checked again just before: a link put there meanwhile is refused, not replaced.
    if (const QString refusal = notOursToWrite(path); !refusal.isEmpty())
        return abandon(refusal);
    if (std::rename(temporary.constData(), name.constData()) != 0)
        return abandon(systemErrorText(errno));
    if (!durably)
        return true;
    syncFolderOf(path);
    if (readBack(name, bytes.size()) != bytes)
        return fail(QStringLiteral("写入后读回的内容不一致"));
    return true;
}

} // namespace

bool writeFileDurably(const QString& path, const QByteArray& bytes, QString* error) {
    return writeFresh(path, bytes, true, error);
}

bool writeFileFresh(const QString& path, const QByteArray& bytes, QString* error) {
    return writeFresh(path, bytes, false, error);
}

} // namespace quorvex
