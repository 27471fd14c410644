#pragma once

#include "CellCoding.h"
#include "draw/DrawRecord.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

namespace quorvex {

// The rows of Lishi kept as what differs from what this program's writers store. Each row is
// its five numbers packed in nibbles and the value bases its attributes were derived under,
// then only the cells that are not what the writers would have written from them (issue after
// the one before, attributes of the draw's zodiac year, texts of the draw before, NULL or 0
// elsewhere), each exactly as stored. A history this program wrote takes a few bytes a row;
// any other, edited by hand or by another program, comes back cell for cell all the same.
//
// Which of the columns the writers leave NULL in every row (the comparison, lagged and working
// columns, strQQH, and any column they do not know).
QVector<bool> columnsLeftNull(const QStringList& columns);

// Packs rows one at a time, as a history is read.
class PredictedRowsWriter {
public:
    explicit PredictedRowsWriter(const QStringList& columns);
    ~PredictedRowsWriter();
    // Packs the next row, its cells read from in; false when they are not a whole row.
    bool add(CellReader& in);
    QByteArray bytes() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The rows' cells in LishiImage's form, row after row; nothing when they are not `rows` whole
// rows of `columns` cells.
std::optional<QByteArray> encodePredictedRows(const QStringList& columns, QByteArrayView cells,
                                              qint64 rows);

// The same for rows known to stand exactly as the writers derive them from these issues and
// numbers under one choice of bases (0..3, see DerivedRowsMark.h): no cell is read. The bytes
// read back as the stored rows, though a reading of the cells may pack them otherwise.
QByteArray encodeDerivedRows(const QStringList& columns, const QVector<DrawNumbers>& draws,
                             int bases);

// The cells of those rows in LishiImage's form, handed over one row at a time.
void deriveRowCells(const QStringList& columns, const QVector<DrawNumbers>& draws, int bases,
                    const std::function<void(QByteArrayView)>& take);

// Reads `rows` rows written by encodePredictedRows from in, appending their cells in
// LishiImage's form and each row's issue and numbers. False when the rows are damaged or their
// cells would pass maxCellBytes.
// derivedUnder, when given, receives the bases every row was predicted whole under (as
// encodeDerivedRows packs them), or nothing.
bool decodePredictedRows(const QStringList& columns, qint64 rows, CellReader& in,
                         qint64 maxCellBytes, QByteArray* cells, QVector<DrawNumbers>* draws,
                         std::optional<int>* derivedUnder = nullptr);

} // namespace quorvex
