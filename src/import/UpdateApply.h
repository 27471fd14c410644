#pragma once

#include "ResultsPage.h"
#include "store/HistoryStore.h"
#include "UpdatePlan.h"

namespace quorvex {

// The oldest and newest stored issues (nothing for an empty history), and the greatest value
// of the text column strQQH, which limits the scan (nothing: no limit, also when the column is
// missing). False and the reason when the history cannot be read.
struct HistoryBounds {
    std::optional<qint64> first;
    std::optional<qint64> last;
    std::optional<QString> strQQHLimit;
};
bool readHistoryBounds(HistoryStore& store, HistoryBounds* bounds, QString* error);

// Stores what an update found, in one transaction: the retention delete when the plan asks
// for it, then every draw (ascending, all after the draw the plan continues from), each chained
// to the one before and the first to the stored last draw. The history must still be as the
// plan found it. Every draw lands, or the history stays exactly as it was. cleared receives
// how many draws the retention delete removed; before it, a copy of the history is kept
// (HistoryCopies.h), whose text file copyFile receives, and without which nothing changes.
bool applyUpdate(HistoryStore& store, const UpdatePlan& plan, const QVector<ScannedDraw>& draws,
                 const ValueBases& bases, ZodiacYear& zodiacYear, int* cleared, QString* error,
                 QString* copyFile = nullptr);

} // namespace quorvex
