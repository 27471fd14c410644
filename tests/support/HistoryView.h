#pragma once

#include "store/HistoryStore.h"

#include <QVector>

#include <optional>

namespace quorvex {

// The whole history in issue order with every attribute, as the tests and benchmarks compare
// against it. Positions run 0..size()-1.
class HistoryView {
public:
    HistoryView() = default;
    explicit HistoryView(QVector<StoredDraw> rows) : rows_(std::move(rows)) {}

    const QVector<StoredDraw>& rows() const { return rows_; }
    qsizetype size() const { return rows_.size(); }
    bool isEmpty() const { return rows_.isEmpty(); }

    std::optional<StoredDraw> first() const { return at(0); }
    std::optional<StoredDraw> last() const { return at(rows_.size() - 1); }
    // The row at a position, or nothing when the position lies outside the history.
    std::optional<StoredDraw> at(qsizetype position) const;

private:
    QVector<StoredDraw> rows_;
};

// Every draw of the history, read to the last row; empty with the reason when it cannot be read.
HistoryView readHistoryView(const HistoryStore& store, QString* error = nullptr);

// The position of the reference draw: the last draw, or in 前N期 mode the N-th from the end.
// -1 when there is no such draw.
qsizetype SeekRefDraw(const HistoryView& view, bool bolSq, int intPreQi);

// The five values of one kind of the draw at a position; nothing when there is no draw there.
std::optional<std::array<int, kPositions>> referenceValuesAt(const HistoryView& view,
                                                             qsizetype position, int kind);

} // namespace quorvex
