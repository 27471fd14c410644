#pragma once

#include "history/HistoryStore.h"

#include <QHash>
#include <QString>

namespace quorvex {

// Remembers which derivation each lagged working column holds for the current history, so a
// search skips re-deriving it. Any other write on this connection between two searches
// (total_changes) or a commit by another connection (data_version) forgets everything.
// What a search notes counts only once its transaction has committed.
class DerivedColumns {
public:
    // Call before the search's transaction begins.
    explicit DerivedColumns(HistoryStore& store);

    // Whether column holds the derivation named key.
    bool holds(const QString& column, const QString& key) const;
    // Column is being rewritten with derivation key; an empty key means "not worth remembering".
    void rewriting(const QString& column, const QString& key) { pending_.insert(column, key); }
    // Call after the search's transaction committed.
    void committed();
    // Changes whenever the remembered state is forgotten: what is computed from the draws may
    // be kept under it.
    quint64 generation() const;

private:
    HistoryStore& store_;
    QHash<QString, QString> pending_;
};

} // namespace quorvex
