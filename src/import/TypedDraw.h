#pragma once

#include "store/HistoryStore.h"

#include <QDate>

#include <optional>

namespace quorvex {

// A draw the user typed (the window's entry or quorvex-cli append), stored as one step of the
// history of changes, "输入第 Q 期": as HistoryStore::appendNextDraw, which it calls inside the
// step's transaction. The issue stored, or nothing and the reason.
std::optional<qint64> storeTypedDraw(HistoryStore& store, const Numbers& numbers,
                                     std::optional<qint64> issue, std::optional<qint64> zodiacIssue,
                                     const ValueBases& bases, ZodiacYear& zodiacYear,
                                     const QDate& today, QString* error);

// The issue of the last stored draw when numbers repeat it position for position: a draw typed
// twice looks so, though a fair draw may repeat too. Nothing otherwise, or when it cannot be read.
std::optional<qint64> repeatedLastIssue(const HistoryStore& store, const Numbers& numbers);

} // namespace quorvex
