#pragma once

#include "TrendGridModel.h"

#include "session/SearchSession.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QSpinBox;
class QStandardItemModel;
class QTableView;

namespace quorvex {

// The page 走势: for a kind and a range (the search's range, or the last N issues) one row per
// issue with the values drawn and the running omissions of the others, and under it the
// summary of each value beside what a fair draw gives.
class TrendPanel : public QWidget {
    Q_OBJECT
public:
    explicit TrendPanel(QWidget* parent = nullptr);

    int kind() const;
    // The last lastCount() issues, else the search's range.
    bool lastIssues() const;
    int lastCount() const;
    // Puts choices made in an earlier run back.
    void setChoices(int kind, bool lastIssues, int last);
    // The range chosen, the search's being start..end.
    SearchSession::TrendRange range(std::optional<qint64> start, std::optional<qint64> end) const;

    void showTrend(TrendFigures trend);
    // Why there is no trend to show; the grids empty.
    void showRefusal(const QString& text);
    // The history or the settings changed: shown again now when the page is in view, else when
    // it comes into view.
    void markStale();

    QTableView* grid() const { return grid_; }
    QTableView* summaryGrid() const { return summary_; }
    TrendGridModel* model() const { return model_; }
    // The trend shown; nothing while the page says why there is none.
    std::shared_ptr<const TrendFigures> shownTrend() const { return trend_; }

signals:
    // The trend to show should be worked out (again).
    void wanted();
    // The kind or the range was chosen.
    void choicesChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ask();
    void fitColumns();

    QComboBox* kind_ = nullptr;
    QComboBox* rangeChoice_ = nullptr;
    QSpinBox* last_ = nullptr;
    QLabel* caption_ = nullptr;
    TrendGridModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QStandardItemModel* summaryModel_ = nullptr;
    QTableView* summary_ = nullptr;
    std::shared_ptr<const TrendFigures> trend_;
    QVector<QStringList> summaryRows_; // as the core words them, under the grid's columns
    bool stale_ = true;
};

} // namespace quorvex
