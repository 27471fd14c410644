#include "HistoryView.h"

namespace quorvex {

std::optional<StoredDraw> HistoryView::first() const {
    return at(0);
}

std::optional<StoredDraw> HistoryView::last() const {
    return at(rows_.size() - 1);
}

std::optional<StoredDraw> HistoryView::at(qsizetype position) const {
    if (position < 0 || position >= rows_.size())
        return std::nullopt;
    return rows_[position];
}

} // namespace quorvex
