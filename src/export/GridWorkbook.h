#pragma once

#include "ExportTarget.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace quorvex {

// The name of the one worksheet of an exported grid.
inline QString gridSheetName() {
    return QStringLiteral("Sheet1");
}

// Writes a grid as an Office Open XML workbook whose worksheet "Sheet1" holds the heading
// row in row 1 and grid row r (0-based) in row r + 2; grid column c goes to column c + 1.
// Every cell is a text, as the grid shows it; a row has as many cells as the heading.
// The workbook is written beside the target and renamed over it once complete, so an older file
// is replaced only by a whole new one. On failure nothing at the target has changed and error
// says why.
bool writeGridWorkbook(const ExportTarget& target, const QStringList& header,
                       const QVector<QStringList>& rows, QString* error);

} // namespace quorvex
