#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace quorvex {

class HistoryConnection;

// What a check that reads a whole history file found, kept per user for one state of that file,
// so that a command reading the same unchanged file does not read it all again. A state is the
// file's identity, size and times, as stat gives them (the file is never opened here), with
// SQLite's change counter read through the store's own handle, which every commit moves even
// within one tick of the file system's clock. A file beside it (a journal or a write-ahead log),
// or a counter that cannot be read, leaves the state unknown: nothing is kept or recalled.
class CheckVerdicts {
public:
    // Notes the state of the file the store has open, now. The store must outlive this.
    explicit CheckVerdicts(const HistoryConnection& store);

    // The verdict kept on topic for the state noted; nothing when none is.
    std::optional<QString> recall(const QString& topic) const;
    // Every verdict kept for the state noted, by topic.
    QMap<QString, QString> all() const;
    // Kept only while the file is still in the state noted: a check that ran beside a write
    // speaks of no state at all. A cache that cannot be written only costs the next check.
    void remember(const QString& topic, const QString& verdict) const;
    // The verdicts of the file become exactly these, for the state noted, if it still stands.
    void keepOnly(const QMap<QString, QString>& verdicts) const;

    // The folder the verdicts are kept in (per user).
    static QString folder();

private:
    QString stateNow() const;
    QString cacheFile() const;
    void write(const QMap<QString, QString>& verdicts) const;

    const HistoryConnection& store_;
    QString path_;
    QString state_; // empty: unknown
};

} // namespace quorvex
