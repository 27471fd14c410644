#include "GridRows.h"

#include <memory>

namespace quorvex {

GridRows::GridRows(QVector<QStringList> rows) : count_(rows.size()) {
    auto held = std::make_shared<const QVector<QStringList>>(std::move(rows));
    row_ = [held](qsizetype i) { return held->at(i); };
}

QVector<QStringList> GridRows::all() const {
    QVector<QStringList> rows;
    rows.reserve(count_);
    for (qsizetype i = 0; i < count_; ++i)
        rows.append(row_(i));
    return rows;
}

} // namespace quorvex
