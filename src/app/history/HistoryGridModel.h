#pragma once

#include "draw/DrawRecord.h"

#include <QAbstractTableModel>

namespace quorvex {

// MSFlexGrid1: reads the issues and numbers directly, so tens of thousands of draws cost no
// items. The heading row is the horizontal header; model row r is draw r in issue order.
class HistoryGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HistoryGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setDraws(QVector<DrawNumbers> draws);
    const QVector<DrawNumbers>& draws() const { return draws_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVector<DrawNumbers> draws_;
};

} // namespace quorvex
