#pragma once

#include <QString>
#include <QStringList>

namespace quorvex::bench {

struct FirstFrame {
    double ms = -1; // from before fork to the window's line; negative when it failed
    QString line;   // what the window wrote, newline left off
    QString after;  // what it wrote after that line, before it quit
    QString error;  // why it failed
};

// Starts program with exactly environment (NAME=value each) and QUORVEX_FIRST_FRAME_FD, times
// from before the fork to the window's first-frame line, then waits for the program to quit.
// Its stderr goes to errorLog. A program that writes no line within timeoutMs is killed.
FirstFrame launchToFirstFrame(const QString& program, const QStringList& environment,
                              const QString& errorLog, int timeoutMs);

} // namespace quorvex::bench
