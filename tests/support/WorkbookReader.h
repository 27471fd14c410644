#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvex::test {

// Reads workbooks with tools that share no code with the program: Debian's xlsx2csv for the
// cell texts, unzip for the worksheet's XML.

// Every row of the named sheet as cell texts, row 1 first; nothing when the file or the sheet
// cannot be read (why says so).
std::optional<QList<QStringList>> readSheetCells(const QString& path, const QString& sheet,
                                                 QString* why);

// How many cells of the first worksheet are not stored as text (shared or inline strings);
// -1 when the worksheet cannot be read.
int nonTextCellCount(const QString& path);

// How a cell of the first worksheet is stored: row and column from 0, whether it holds a number
// (not a text) and whether it carries a format of its own.
struct SheetCellForm {
    int row = 0;
    int column = 0;
    bool number = false;
    bool formatted = false;
};
std::optional<QList<SheetCellForm>> sheetCellForms(const QString& path);

// RFC 4180 records: quoted fields, doubled quotes, LF or CR LF between records.
QList<QStringList> parseCsv(const QString& text);

} // namespace quorvex::test
