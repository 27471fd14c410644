#pragma once

#include "store/HistoryStore.h"
#include "UpdatePlan.h"

#include <QString>

#include <optional>

namespace quorvex {

// What the retention step of an online update will do, known before any page is fetched, so the
// confirmation can say it and the CLI print it.
struct RetentionNotice {
    bool replacesHistory = false; // the whole history will be deleted and downloaded again
    int draws = 0;                // the draws that go
    qint64 firstIssue = 0;
    qint64 lastIssue = 0;
    int retentionYears = 0;
    int startYear = 0; // the first year read from the service

    // One sentence in Chinese: how many draws, from which issue to which, are replaced, from
    // which year the service is read, and that a copy is kept. Empty when nothing is replaced.
    QString sentence() const;
};

// The notice for plan, made of the history as it stands, with IniSerchDay years kept. Nothing and
// the reason when the history cannot be read.
std::optional<RetentionNotice> retentionNotice(HistoryStore& store, const UpdatePlan& plan,
                                               int iniSerchDay, QString* error);

} // namespace quorvex
