#pragma once

#include "app/common/Dialogs.h"
#include "BacktestOptions.h"

#include "session/SearchSession.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;

namespace quorvex {

// The middle panel: the search options, the three reference tabs, the issue range, the two
// search buttons and the backtest. A view of the search session: each control tells the session
// what changed, and the boxes show what the session says.
class SearchOptionsPanel : public QWidget {
    Q_OBJECT
public:
    SearchOptionsPanel(SearchSession& session, Dialogs* dialogs, QWidget* parent = nullptr);

    // Shows the session's options (start-up), as the settings give them.
    void showOptions();

    // Hands every box to the session as it stands, then builds the request of the positions
    // ticked on the current tab and the range boxes. Nothing, after a message, when a box holds
    // what cannot be used.
    std::optional<SearchRequest> searchRequest();

    // The positions ticked on each reference tab (自动历史位, 手动输入号, 验证指定期).
    using Ticks = std::array<std::array<bool, kPositions>, 3>;
    Ticks ticks() const;
    void setTicks(const Ticks& ticks);

    QPushButton* followButton() const { return Command1; }
    QPushButton* combinationButton() const { return Command2; }
    BacktestOptions* backtestOptions() const { return backtest_; }
    void setSearchEnabled(bool enabled);

    void Option1_Click(int index);
    void Option3_Click(int index);
    void Option4_Click(int index);
    void TabStrip1_Click();
    bool Text4_EditingFinished();
    void Check4_Click();
    bool MaskEdBox2_LostFocus();
    bool Combo1_LostFocus();

signals:
    // A position box of a tab was ticked or cleared.
    void ticksChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildReferenceTabs();
    QCheckBox* positionBox(int tab, int position) const;
    QWidget* buildSearchRow();
    void showReferenceValues(ReferenceSource shownOn);
    void showCombinedPositions();
    std::array<bool, kPositions> tickedPositions() const;

    SearchSession& session_;
    Dialogs* dialogs_;

    std::array<QRadioButton*, 4> Option1{};
    std::array<QRadioButton*, 6> Option2{}; // 4, 5
    std::array<QRadioButton*, 6> Option3{};
    std::array<QRadioButton*, 6> Option4{};
    QLineEdit* MaskEdBox2 = nullptr;
    QTabBar* TabStrip1 = nullptr;
    QStackedWidget* tabFrames_ = nullptr;
    std::array<QGroupBox*, 3> Frame2{};
    std::array<QLineEdit*, 16> Text2{};  // 1..5, 11..15
    std::array<QCheckBox*, 16> Check1{}; // 1..5, 11..15
    std::array<QLineEdit*, 6> Text22{};  // 1..5
    std::array<QCheckBox*, 6> Check11{}; // 1..5
    QCheckBox* Check4 = nullptr;
    QLineEdit* Text4 = nullptr;
    std::array<QLineEdit*, 2> Text3{};
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label1 = nullptr;
    BacktestOptions* backtest_ = nullptr;
};

} // namespace quorvex
