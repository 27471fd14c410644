#pragma once

#include "draw/DrawRecord.h"
#include "SettingsStore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

namespace quorvex {

// What the window remembers beyond the settings the searches read, in the same per-user store
// under the group "Window" (those settings stay in "IniSetting"). Written the moment each changes;
// the window's size and place when it is closed.
struct WindowChoices {
    QByteArray geometry; // as the window saved it; empty: the window's own first size
    int resultPage = 0;  // 0 检索结果, 1 回测结果, 2 走势
    // The positions ticked on each reference tab: 自动历史位, 手动输入号, 验证指定期.
    std::array<std::array<bool, kPositions>, 3> ticks{};
    int backtestIssues = 100;
    int backtestTopK = 3;
    bool backtestCombination = false;
    int trendKind = 0;
    bool trendLastIssues = true; // the last trendLast issues, else the search's range
    int trendLast = 100;
};

namespace windowRanges {
constexpr SettingRange resultPage{0, 2};
constexpr SettingRange backtestIssues{1, 99999};
constexpr SettingRange backtestTopK{1, 15};
constexpr SettingRange trendLast{1, 9999999};
} // namespace windowRanges

class WindowChoicesStore {
public:
    // Reads every key; a missing key gives its default, a stored text that is not a valid value
    // too, and is named in problems (for the one message of the settings at start-up).
    WindowChoices load(QStringList* problems = nullptr) const;

    void writeGeometry(const QByteArray& geometry);
    void writeResultPage(int page);
    void writeTicks(int tab, const std::array<bool, kPositions>& ticked);
    void writeBacktest(int issues, int topK, bool combination);
    void writeTrend(int kind, bool lastIssues, int last);
};

} // namespace quorvex
