#pragma once

#include "CliProcess.h"

#include <QByteArray>
#include <QTemporaryDir>

namespace quorvex::test {

// Daily draws from 2001001 on, five distinct numbers each, as history text lines.
QByteArray historyText(int count, quint32 seed);

// A home for runs of quorvex-cli: a temporary folder with the history folder "history" and the
// settings folder "config", all open to every user, so that runs as nobody (root ignores file
// modes) reach them too.
class CliHome {
public:
    CliHome();
    bool isValid() const { return valid_; }
    QString path() const { return dir_.path(); }
    QString folder() const { return dir_.filePath(QStringLiteral("history")); }
    QString databasePath() const;

    // The command line of a run on the history folder; unprivileged runs as nobody when root.
    QStringList command(const QStringList& arguments, bool unprivileged = false) const;
    CliResult run(const QStringList& arguments, bool unprivileged = false) const;
    // Writes a file into the home; its path, or nothing when it could not be written.
    QString writeFile(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir dir_;
    bool valid_ = false;
};

// Root ignores file modes: unprivileged runs then take on the nobody account.
bool runsAsRoot();

} // namespace quorvex::test
