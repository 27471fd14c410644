#include "GridPrinter.h"

#include <QRegularExpression>

#include <algorithm>

namespace quorvex::cli {

namespace {

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool looksNumeric(const QString& cell) {
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?%?$"));
    return number.match(cell).hasMatch();
}

QString padded(const QString& cell, int width, bool right) {
    const QString fill(std::max(0, width - displayWidth(cell)), QLatin1Char(' '));
    return right ? fill + cell : cell + fill;
}

} // namespace

std::optional<GridFormat> parseGridFormat(const QString& text) {
    if (text.compare(QLatin1String("table"), Qt::CaseInsensitive) == 0)
        return GridFormat::Table;
    if (text.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
        return GridFormat::Csv;
    return std::nullopt;
}

int displayWidth(const QString& text) {
    int width = 0;
    for (char32_t c : text.toUcs4())
        width += isWide(c) ? 2 : 1;
    return width;
}

QString csvField(const QString& text) {
    static const QRegularExpression special(QStringLiteral("[,\"\r\n]"));
    if (!text.contains(special))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {

template <typename Emit> void csvLines(const Grid& grid, const Emit& put) {
    auto record = [&](const QStringList& cells) {
        QStringList fields;
        for (const QString& c : cells)
            fields << csvField(c);
        put(fields.join(QLatin1Char(',')) + QStringLiteral("\r\n"));
    };
    record(grid.header);
    for (const QStringList& row : grid.rows)
        record(row);
}

template <typename Emit> void tableLines(const Grid& grid, const Emit& put) {
    qsizetype columns = grid.header.size();
    QList<int> widths(columns, 0);
    QList<bool> numeric(columns, !grid.rows.isEmpty());
    auto measure = [&](const QStringList& cells, bool body) {
        if (cells.size() > columns) {
            columns = cells.size();
            widths.resize(columns, 0);
            numeric.resize(columns, true);
        }
        for (qsizetype c = 0; c < cells.size(); ++c) {
            widths[c] = std::max(widths[c], displayWidth(cells[c]));
            if (body && !cells[c].isEmpty() && !looksNumeric(cells[c]))
                numeric[c] = false;
        }
    };
    measure(grid.header, false);
    for (const QStringList& row : grid.rows)
        measure(row, true);

    auto line = [&](const QStringList& cells) {
        QStringList parts;
        for (qsizetype c = 0; c < columns; ++c)
            parts << padded(c < cells.size() ? cells[c] : QString(), widths[c], numeric[c]);
        // No blanks at the end of a line.
        QString text = parts.join(QStringLiteral("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        put(text + QLatin1Char('\n'));
    };
    line(grid.header);
    for (const QStringList& row : grid.rows)
        line(row);
}

} // namespace

QString formatCsv(const Grid& grid) {
    QString result;
    csvLines(grid, [&result](const QString& line) { result += line; });
    return result;
}

QString formatTable(const Grid& grid) {
    QString result;
    tableLines(grid, [&result](const QString& line) { result += line; });
    return result;
}

void printGrid(QTextStream& out, const Grid& grid, GridFormat format) {
    const auto write = [&out](const QString& line) { out << line; };
    if (format == GridFormat::Csv)
        csvLines(grid, write);
    else
        tableLines(grid, write);
    out.flush();
}

} // namespace quorvex::cli
