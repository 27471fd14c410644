#pragma once

#include <QFile>
#include <QString>

#include <pwd.h>
#include <unistd.h>

namespace quorvex::test {

// Makes a folder unwritable while in scope: mode 0555, and when the tests run as root (whom
// modes do not stop) the effective user is nobody until the scope ends. The folders above it
// must let others pass (mode 0755).
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder) : folder_(folder) {
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            switchedFromRoot_ = nobody && ::seteuid(nobody->pw_uid) == 0;
        }
    }
    ~ReadOnlyFolder() {
        if (switchedFromRoot_ && ::seteuid(0) != 0)
            qFatal("cannot return to root");
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // Whether writing into the folder is really refused now.
    bool effective() const { return ::geteuid() != 0; }

private:
    QString folder_;
    bool switchedFromRoot_ = false;
};

} // namespace quorvex::test
