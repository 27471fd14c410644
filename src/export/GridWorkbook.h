#pragma once

#include "ExportTarget.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace quorvex {

// The name of the one worksheet of an exported grid.
inline QString gridSheetName() {
    return QStringLiteral("Sheet1");
}

// How a cell of a grid row is written: as its text; as the number its text reads as (a text that
// is no number stays a text); or as its text, marked bold on the colour the grid shades it with.
enum class CellForm { Text, Number, Marked };

// What a sheet holds beyond the grid's cells: a title row above the heading, and each cell's form.
struct SheetLayout {
    QString title; // row 1 when not empty; the heading then follows in row 2
    // The form of grid row r's cell c; every cell is a text without it.
    std::function<CellForm(qsizetype row, qsizetype column)> form;
};

// Writes a grid as an Office Open XML workbook whose worksheet "Sheet1" holds the heading
// row in row 1 and grid row r (0-based) in row r + 2 (one row lower under a title); grid column
// c goes to column c + 1. Every cell is a text, as the grid shows it, unless the layout gives it
// another form; a row has as many cells as the heading.
// The workbook is written beside the target and renamed over it once complete, so an older file
// is replaced only by a whole new one. On failure nothing at the target has changed and error
// says why.
bool writeGridWorkbook(const ExportTarget& target, const QStringList& header,
                       const QVector<QStringList>& rows, QString* error,
                       const SheetLayout& layout = {});

} // namespace quorvex
