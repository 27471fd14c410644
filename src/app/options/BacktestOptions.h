#pragma once

#include <QGroupBox>

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace quorvex {

// What a backtest tries, beside the search buttons: the last how many issues (回测期数), how
// many of the ranked values count as the forecast (前K个), and whether the combination search
// over 组合位数 positions is tried instead of the follow search. The other options are the
// search's own, as they stand.
class BacktestOptions : public QGroupBox {
    Q_OBJECT
public:
    explicit BacktestOptions(QWidget* parent = nullptr);

    int issues() const;
    int topK() const;
    bool combination() const;
    // Puts choices made in an earlier run back.
    void setChoices(int issues, int topK, bool combination);
    QPushButton* button() const { return button_; }
    // Where Tab enters the row.
    QWidget* firstControl() const;

signals:
    // Any of the three choices changed.
    void changed();

private:
    QSpinBox* issues_ = nullptr;
    QSpinBox* topK_ = nullptr;
    QCheckBox* combination_ = nullptr;
    QPushButton* button_ = nullptr;
};

} // namespace quorvex
