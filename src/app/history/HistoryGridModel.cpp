#include "HistoryGridModel.h"

namespace quorvex {

void HistoryGridModel::setDraws(QVector<DrawNumbers> draws) {
    beginResetModel();
    draws_ = std::move(draws);
    endResetModel();
}

int HistoryGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(draws_.size());
}

int HistoryGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1 + kPositions;
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= draws_.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    const DrawNumbers& draw = draws_[index.row()];
    if (index.column() == 0)
        return QString::number(draw.issue);
    return QString::number(draw.numbers[index.column() - 1]);
}

QVariant HistoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section == 0)
        return QStringLiteral("期号");
    return QStringLiteral("第%1码").arg(section);
}

} // namespace quorvex
