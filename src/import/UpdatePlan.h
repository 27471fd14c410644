#pragma once

#include <QVector>

#include <optional>

namespace quorvex {

// What the online update does before any page is fetched: whether the retention limit
// (IniSerchDay years) clears the history, which years are fetched, and where each year's scan
// starts.
struct UpdatePlan {
    // The history as the plan found it; the apply step refuses a history that changed since.
    std::optional<qint64> storedFirst;
    std::optional<qint64> storedLast;

    bool clearHistory = false;       // the oldest draw is older than the retention allows
    std::optional<qint64> continues; // the stored draw the update continues after
    int firstYear = 0;
    int lastYear = 0; // the current year; no year is fetched when it is before firstYear

    QVector<int> years() const;
    // First sequence number wanted in year: 1, or the one after the stored last draw.
    int firstSequence(int year) const;
};

// The first year a history that is not empty is continued from.
constexpr int kEarliestUpdateYear = 2008;

// first and last: the issues of the oldest and the newest stored draw (nothing: empty history).
UpdatePlan planUpdate(std::optional<qint64> first, std::optional<qint64> last, int iniSerchDay,
                      int currentYear);

} // namespace quorvex
