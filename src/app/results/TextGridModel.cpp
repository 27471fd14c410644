#include "TextGridModel.h"

namespace quorvex {

TextGridModel::TextGridModel(QStringList header, QObject* parent)
    : QAbstractTableModel(parent), header_(std::move(header)) {}

void TextGridModel::setContents(const QStringList& header, const GridRows& rows) {
    beginResetModel();
    header_ = header;
    rows_ = rows;
    madeAt_ = -1;
    made_.clear();
    endResetModel();
}

void TextGridModel::setHeaderTips(const QStringList& tips) {
    headerTips_ = tips;
    if (!header_.isEmpty())
        emit headerDataChanged(Qt::Horizontal, 0, int(header_.size()) - 1);
}

int TextGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(header_.size());
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    if (madeAt_ != index.row()) {
        made_ = rows_[index.row()];
        madeAt_ = index.row();
    }
    return made_.value(index.column());
}

QVariant TextGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal) {
        const QString tip = headerTips_.value(section);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return header_.value(section);
}

} // namespace quorvex
