#pragma once

#include "DrawRecord.h"

#include <QVector>

#include <optional>

namespace quorvex {

struct StoredDraw {
    qint64 issue = 0;
    DrawAttributes attributes;
};

// A draw as the history grid and the history text files show it: issue and five numbers.
struct DrawNumbers {
    qint64 issue = 0;
    Numbers numbers{};
};

// A read-only snapshot of the history in issue order with a current row, as the window keeps
// it between changes. Positions run 0..size()-1; -1 is "before the first row".
class HistoryView {
public:
    HistoryView() = default;
    explicit HistoryView(QVector<StoredDraw> rows) : rows_(std::move(rows)) {}

    const QVector<StoredDraw>& rows() const { return rows_; }
    qsizetype size() const { return rows_.size(); }
    bool isEmpty() const { return rows_.isEmpty(); }

    std::optional<StoredDraw> first() const;
    std::optional<StoredDraw> last() const;
    // The row at a position, or nothing when the position lies outside the history.
    std::optional<StoredDraw> at(qsizetype position) const;

private:
    QVector<StoredDraw> rows_;
};

} // namespace quorvex
