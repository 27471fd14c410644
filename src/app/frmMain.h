#pragma once

#include "Dialogs.h"
#include "HistoryGridModel.h"

#include "analysis/FollowSearch.h"
#include "history/HistoryStore.h"
#include "history/ZodiacTables.h"

#include <QMainWindow>

#include <array>

class QAction;
class QBoxLayout;
class QCheckBox;
class QChartView;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTableView;

namespace quorvex {

class GridWheelScroller;

// The window's state: the search options and the mirrors of the persisted settings.
// Callers read it; only the window's handlers change it.
struct WindowState {
    int IniSerchDay = 0;   // years of history kept by the online update
    bool bolZyw = false;   // free positions (自由位); false: fixed (固定位)
    bool bolSq = false;    // reference draw is the last draw (上期); false: 前N期
    int intLei = 0;        // search kind 0..5
    int intXianshiLei = 0; // result kind 0..5
    QString strResultLetter;
    int DsIni = 0; // segment base
    int SxIni = 0; // zodiac base
    std::array<int, 12> intSxValue{};
    int intPreQi = 0;       // N of 前N期
    int intZhWSetup = 0;    // combined positions of the combination search
    bool bolManual = false; // the reference values are the typed ones of the second tab
    RefValues intRefVal{};  // reference values of positions 1..5 (index 0..4)
    QString strPosPrefix = QStringLiteral("L");
    qint64 lngNextIssue = 0;
};

// The main window.
//
// Every control and menu entry carries the system's name as its objectName, so tests and later
// work find them with findChild. A control array element is named Name_Index: Option3(2) is
// "Option3_2", MaskEdBox1(1) "MaskEdBox1_1", Text2(11) "Text2_11", Check11(5) "Check11_5",
// Frame2(0) "Frame2_0", menu mnuSxcs(0) "mnuSxcs_0". Controls without an index keep their plain
// name ("Text1", "MSFlexGrid1", "TabStrip1", "mnuSetup").
//
// Grids: the heading row is the view's horizontal header, so model row r is grid row r + 1.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // folder: the program's folder, holding Quorvex.mdb. dialogs must outlive the window.
    frmMain(const QString& folder, Dialogs* dialogs, QWidget* parent = nullptr);
    ~frmMain() override;

    const WindowState& state() const { return st_; }
    Dialogs* dialogs() const { return dialogs_; }
    QString programFolder() const { return folder_; }

    // The history database (dbHistory); isDatabaseOpen() is false when it could not be opened,
    // and then everything that needs it stays disabled.
    HistoryStore& historyStore() { return store_; }
    bool isDatabaseOpen() const { return store_.isOpen(); }
    // The history view as last loaded by AddHaoma (rsHistoryView), and the reference draw's
    // position in it (-1: none).
    const HistoryView& historyView() const { return rsHistoryView; }
    qsizetype referenceDrawPosition() const { return refPosition_; }

    // The zodiac year of the next issue (lngSxYear, strYearSxNumbers) and the value bases,
    // as AppendDraw needs them.
    ZodiacYear& zodiacYear() { return zodiacYear_; }
    ValueBases valueBases() const { return {st_.SxIni, st_.DsIni}; }

    // Everything a follow or combination search reads, taken from the state and the controls.
    SearchRequest searchRequest() const;

    // The match grid (MSFlexGrid2) and result grid (MSFlexGrid3) contents, and the chart.
    TextGridModel* matchGridModel() const { return matchModel_; }
    TextGridModel* resultGridModel() const { return resultModel_; }
    QChartView* chartView() const { return chartView_; }

    // After any change of the history: AddHaoma, QihaoXianshi, SeekRefDraw, LoadRefValues.
    void refreshAfterHistoryChange();

    // Shared routines.
    void AddHaoma();
    void QihaoXianshi();
    void SeekRefDraw();
    void LoadRefValues();
    void YSJS();
    void SetStartIssue();

public slots:
    void Option1_Click(int index);
    void Option2_Click(int index);
    void Option3_Click(int index);
    void Option4_Click(int index);
    void TabStrip1_Click();
    void Text22_LostFocus(int index);
    // False when the typed issue was refused (the user was told why).
    bool Text4_EditingFinished();
    void Check4_Click();
    void Command9_Click();
    void mnuSxcs_Click(int index);
    void mnuDscs_Click(int index);
    void mnuSetDay_Click();
    void MaskEdBox2_LostFocus();
    void Combo1_LostFocus();
    void Command1_Click();
    void Command2_Click();
    void cmdRdLst_Click();
    void MaskEdBox1_Change(int index);
    void MaskEdBox1_KeyPress(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    QWidget* buildHistoryPanel();
    QWidget* buildOptionsPanel();
    QWidget* buildResultsPanel();
    void startUp();
    void scrollHistoryToNewest();
    void showRefValues(int firstTextIndex);
    int currentTab() const;
    void setSxcsChecks();
    void setDscsChecks();
    void showCombinedPositions(); // intZhWSetup in Combo1
    // The match grid, result grid and chart of a finished search.
    void ShowFollowResults(const FollowResult& result);
    // Runs the lost-focus handling of the option box being edited, as leaving it would.
    // False when the box refused its text (it then said why).
    bool commitFocusedBox();
    void storeEnteredDraw();

    QString folder_;
    Dialogs* dialogs_;
    HistoryStore store_;
    HistoryView rsHistoryView;
    qsizetype refPosition_ = -1;
    ZodiacYear zodiacYear_;
    WindowState st_;
    bool keepNewestInView_ = false;
    // Set from storing a typed draw until the next key press in an entry box, so that the
    // window's own emptying of the boxes neither stores again nor moves the focus.
    bool bolEntryDone = false;

    HistoryGridModel* historyModel_ = nullptr;
    TextGridModel* matchModel_ = nullptr;
    TextGridModel* resultModel_ = nullptr;
    GridWheelScroller* wheel_ = nullptr;

    QTableView* MSFlexGrid1 = nullptr;
    QTableView* MSFlexGrid2 = nullptr;
    QTableView* MSFlexGrid3 = nullptr;
    QChartView* chartView_ = nullptr;
    QBoxLayout* resultsLayout_ = nullptr; // result grid and chart: side by side or stacked
    QLineEdit* Text1 = nullptr;
    QLabel* Label12 = nullptr;
    std::array<QLineEdit*, 6> MaskEdBox1{}; // 1..5
    QPushButton* Command21 = nullptr;
    QPushButton* cmdRdLst = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label1 = nullptr;
    std::array<QRadioButton*, 4> Option1{};
    std::array<QRadioButton*, 6> Option2{}; // 4, 5
    std::array<QRadioButton*, 6> Option3{};
    std::array<QRadioButton*, 6> Option4{};
    QLineEdit* MaskEdBox2 = nullptr;
    std::array<QLineEdit*, 2> Text3{};
    QCheckBox* Check4 = nullptr;
    QLineEdit* Text4 = nullptr;
    QTabBar* TabStrip1 = nullptr;
    std::array<QGroupBox*, 3> Frame2{};
    std::array<QLineEdit*, 16> Text2{};  // 1..5, 11..15
    std::array<QCheckBox*, 16> Check1{}; // 1..5, 11..15
    std::array<QLineEdit*, 6> Text22{};  // 1..5
    std::array<QCheckBox*, 6> Check11{}; // 1..5

    QMenu* mnuSetup = nullptr;
    std::array<QAction*, 2> mnuSxcs{};
    std::array<QAction*, 2> mnuDscs{};
    QAction* mnuSetDay = nullptr;
};

} // namespace quorvex
