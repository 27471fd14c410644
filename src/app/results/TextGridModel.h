#pragma once

#include "analysis/GridRows.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

namespace quorvex {

// MSFlexGrid2 and MSFlexGrid3: a heading row and rows of cell texts, replaced as a whole.
class TextGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TextGridModel(QStringList header, QObject* parent = nullptr);

    // Rows made when shown: only the rows in view are ever made.
    void setContents(const QStringList& header, const GridRows& rows);
    void setRows(const GridRows& rows) { setContents(header_, rows); }
    // Tooltips of the heading, by column; an empty text for none. Kept until replaced.
    void setHeaderTips(const QStringList& tips);
    const QStringList& header() const { return header_; }
    const GridRows& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList header_;
    QStringList headerTips_;
    GridRows rows_;
    // The row last made: a view asks for each cell of a row in turn.
    mutable qsizetype madeAt_ = -1;
    mutable QStringList made_;
};

} // namespace quorvex
