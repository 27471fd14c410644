#pragma once

#include <QString>

#include <sys/types.h>

namespace quorvex::test {

// For the tests that kill a forked child at random moments while it writes the history.

// Waits until the file at path has grown (the child appends to it after each completed
// operation), at most timeoutMs.
void waitForFileToGrow(const QString& path, int timeoutMs);

// Sleeps between leastUs and leastUs + spreadUs, then kills the child with SIGKILL and reaps
// it; true when it ended by that signal.
bool killAfterRandomDelay(pid_t child, int leastUs, int spreadUs);

} // namespace quorvex::test
