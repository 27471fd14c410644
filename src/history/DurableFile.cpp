#include "DurableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <fcntl.h>
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

} // namespace

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

bool writeFileDurably(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("无法写入文件 %1：%2").arg(path, why);
        return false;
    };
    {
        // QSaveFile writes beside the target and renames over it only when every byte is out.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return fail(file.errorString());
        if (file.write(bytes) != bytes.size() || !file.flush())
            return fail(file.errorString());
        // fsync before the rename: QSaveFile's commit only renames.
        if (::fsync(file.handle()) != 0)
            return fail(QStringLiteral("无法写到磁盘"));
        if (!file.commit())
            return fail(file.errorString());
    }
    syncFolderOf(path);
    QFile back(path);
    if (!back.open(QIODevice::ReadOnly) || back.readAll() != bytes)
        return fail(QStringLiteral("写入后读回的内容不一致"));
    return true;
}

} // namespace quorvex
