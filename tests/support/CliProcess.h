#pragma once

#include <QString>
#include <QStringList>

namespace quorvex::test {

// What a run of a program gave: its exit status (-1 when it did not end normally in time) and
// its two output streams.
struct CliResult {
    int code = -1;
    QString out;
    QString err;
};

// Runs command (the program, then its arguments) with HOME and the per-user folders
// (XDG_CONFIG_HOME, XDG_DATA_HOME) inside home, so no test touches the user's own settings. The
// caller's event loop keeps running meanwhile, so a server of the test keeps answering.
CliResult runProgram(const QStringList& command, const QString& home, int timeoutMs = 60000);

} // namespace quorvex::test
