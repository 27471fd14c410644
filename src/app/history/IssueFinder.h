#pragma once

#include "draw/DrawRecord.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QTableView;

namespace quorvex {

class HistoryGridModel;

// The row of the first draw whose issue starts with the digits typed ("2013" the year's first,
// "2013045" that issue); failing that, of the last draw whose issue ends with them ("045": the
// newest such issue). -1 when none does or nothing usable was typed.
int issueRow(const QVector<DrawNumbers>& draws, const QString& typed);

// The find box under the history grid: Ctrl+F, or digits typed while the grid has the focus,
// bring the user here; each digit jumps the grid to the issue found, Enter or Esc goes back to
// the grid on it. While nothing is found (or the box is emptied) the grid stands where it stood
// before the find began, its row as it was.
class IssueFinder : public QWidget {
    Q_OBJECT
public:
    // grid shows model.
    IssueFinder(QTableView* grid, const HistoryGridModel* model, QWidget* parent = nullptr);

    // Ctrl+F: into the box, its text selected.
    void activate();
    QLineEdit* box() const { return box_; }

signals:
    // The grid was moved to a found issue.
    void jumped();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void find(const QString& typed);
    // Where the grid stood when the find began, and putting it back.
    void remember();
    void restore();

    QTableView* grid_;
    const HistoryGridModel* model_;
    QLineEdit* box_;
    QLabel* result_;
    struct Origin {
        int top = 0; // the vertical scroll bar's value
        QPersistentModelIndex current;
        bool selected = false;
    };
    std::optional<Origin> origin_; // while a find goes on
};

} // namespace quorvex
