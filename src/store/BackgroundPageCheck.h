#pragma once

#include <QSqlError>
#include <QStringList>

#include <future>

namespace quorvex {

// What SQLite's quick check of a history file found: its lines other than "ok", and the error
// that stopped it, if any.
struct PageCheckFindings {
    QStringList problems;
    QSqlError failure;
};

// SQLite's quick check of a history file on a read-only connection of its own, in a thread of
// its own: the owner reads meanwhile and takes the findings when it needs the verdict.
class BackgroundPageCheck {
public:
    explicit BackgroundPageCheck(const QString& path);
    // Waits for the check: the thread never outlives its owner.
    ~BackgroundPageCheck() = default;
    BackgroundPageCheck(const BackgroundPageCheck&) = delete;
    BackgroundPageCheck& operator=(const BackgroundPageCheck&) = delete;

    // Waits for the check; once only.
    PageCheckFindings findings() { return findings_.get(); }

private:
    std::future<PageCheckFindings> findings_;
};

} // namespace quorvex
