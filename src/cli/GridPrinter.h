#pragma once

#include "analysis/GridRows.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace quorvex::cli {

// A grid as the window shows it: the heading row and one list of cell texts per row, each row
// made when it is printed (a trend of a million draws is never held whole).
struct Grid {
    QStringList header;
    GridRows rows;
};

enum class GridFormat { Table, Csv };

// "table" or "csv" (any case); nothing for another text.
std::optional<GridFormat> parseGridFormat(const QString& text);

// Columns of a terminal a text takes: East Asian wide and full-width characters count two.
int displayWidth(const QString& text);

// One CSV field: quoted when it holds a comma, a quote, CR or LF; quotes doubled.
QString csvField(const QString& text);

// RFC 4180: the heading row first, CRLF after every record.
QString formatCsv(const Grid& grid);

// Aligned columns two blanks apart; columns whose cells are all numbers are right-aligned.
QString formatTable(const Grid& grid);

// Either form written line by line as the rows are made; a table makes each row twice (its
// widths first) rather than holding them all.
void printGrid(QTextStream& out, const Grid& grid, GridFormat format);

} // namespace quorvex::cli
