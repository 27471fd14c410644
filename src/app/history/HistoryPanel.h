#pragma once

#include "app/common/Dialogs.h"
#include "HistoryGridModel.h"

#include "session/SearchSession.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace quorvex {

class EmptyHistoryHint;
class IssueFinder;

// The left panel: the next issue (Text1), the entry boxes of the newest draw (MaskEdBox1), the
// history grid (MSFlexGrid1) with its find box, and the history buttons. Typed draws and the text
// import are stored through the core; historyChanged() then asks the window to refresh.
class HistoryPanel : public QWidget {
    Q_OBJECT
public:
    HistoryPanel(HistoryStore& store, SearchSession& session, Dialogs* dialogs,
                 QWidget* parent = nullptr);

    // AddHaoma: reloads the grid from the history (empty when it is not open) and shows the
    // newest draw. A failed read is said in a message, or put in error when one is given.
    bool AddHaoma(QString* error = nullptr);
    // Disables everything that changes the history (it could not be opened for writing).
    void setWritable(bool writable);
    void focusFirstEntryBox();
    // The user scrolled the grid: later resizes no longer pull it to the newest draw.
    void stopFollowingNewest() { keepNewestInView_ = false; }

    QTableView* grid() const { return MSFlexGrid1; }
    HistoryGridModel* gridModel() const { return model_; }
    QPushButton* settingsButton() const { return Command9; }
    QPushButton* eraseButton() const { return Command3; }
    QPushButton* updateButton() const { return Command21; }
    QPushButton* exportTextButton() const { return Command4; }

    void cmdRdLst_Click();
    void MaskEdBox1_Change(int index);
    void MaskEdBox1_KeyPress(int index);

signals:
    void historyChanged();
    // A draw or an import was refused (the user was told why).
    void writeFailed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QString, kPositions> entryTexts() const;
    void storeEnteredDraw();
    void scrollToNewest();

    HistoryStore& store_;
    SearchSession& session_;
    Dialogs* dialogs_;
    HistoryGridModel* model_ = nullptr;
    EmptyHistoryHint* emptyHint_ = nullptr;
    IssueFinder* finder_ = nullptr;
    bool keepNewestInView_ = false;
    // Set from storing a typed draw until the next key press in an entry box, so that the
    // panel's own emptying of the boxes neither stores again nor moves the focus.
    bool bolEntryDone = false;
    // The boxes as they stood when their draw was refused, until it is stored.
    std::optional<std::array<QString, kPositions>> refused_;

    QLabel* Label12 = nullptr;
    QLineEdit* Text1 = nullptr;
    std::array<QLineEdit*, 6> MaskEdBox1{}; // 1..5
    QTableView* MSFlexGrid1 = nullptr;
    QPushButton* Command21 = nullptr;
    QPushButton* cmdRdLst = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command9 = nullptr;
};

} // namespace quorvex
