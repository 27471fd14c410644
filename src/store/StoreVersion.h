#pragma once

#include <QtGlobal>

namespace quorvex {

// Which version of the history a connection sees: SQLite's data_version moves with every commit
// of another connection, total_changes with every row this one changed. Equal versions of one
// store hold the same draws. Apart from the store, so that what reads a snapshot needs no SQL.
struct StoreVersion {
    qint64 dataVersion = -1;
    qint64 totalChanges = -1;
    bool operator==(const StoreVersion&) const = default;
};

} // namespace quorvex
