#pragma once

#include <QString>

#include <optional>

namespace quorvex {

// What a check that reads a whole history file found, kept per user for one state of that file,
// so that a command reading the same unchanged file does not read it all again. A state is the
// file's identity, size and times, as stat gives them (the file is never opened here); a file
// beside it (a journal or a write-ahead log) leaves the state unknown, and nothing is kept or
// recalled.
class CheckVerdicts {
public:
    // Notes the file's state now.
    explicit CheckVerdicts(const QString& databasePath);

    // The verdict kept on topic for the state noted; nothing when none is.
    std::optional<QString> recall(const QString& topic) const;
    // Kept only while the file is still in the state noted (a check that ran beside a write
    // speaks of no state at all) and was last written over two seconds ago. A cache that cannot
    // be written only costs the next check.
    void remember(const QString& topic, const QString& verdict) const;

    // The folder the verdicts are kept in (per user).
    static QString folder();

private:
    static QString stateOf(const QString& path);
    QString cacheFile() const;

    QString path_;
    QString state_; // empty: unknown
};

} // namespace quorvex
