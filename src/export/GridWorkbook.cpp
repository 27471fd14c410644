#include "GridWorkbook.h"

#include "ExportTemporary.h"
#include "MutedStderr.h"

#include <QFile>

#include <xlsxwriter.h>

namespace quorvex {

namespace {

// Rows of one worksheet in the Office Open XML format.
constexpr qsizetype kMaxSheetRows = 1048576;

// What went wrong in libxlsxwriter, for the user.
QString describe(lxw_error error) {
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("无法在文件夹中创建文件（文件夹不存在或不可写）");
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("无法使用临时文件");
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足");
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("有单元格的文字超过 32767 个字符");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("无法写完工作簿（磁盘已满或文件太大）");
    default:
        // The library's own text is English; its number is enough to find the cause.
        return QStringLiteral("写工作簿出错（错误 %1）").arg(int(error));
    }
}

// Writes the cells into a workbook at path; the workbook is freed in every case.
bool writeCells(const QString& path, const QStringList& header, const QVector<QStringList>& rows,
                const SheetLayout& layout, QString* why) {
    const QByteArray fileName = QFile::encodeName(path);
    // Its lines on failure would stand beside the one message the caller gives.
    const MutedStderr muted;
    // Rows go out in order, so each can be flushed as it is written: memory stays flat for a
    // history of 100,000 draws, and the export takes about a third less time.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(fileName.constData(), &options);
    if (!workbook) {
        *why = QStringLiteral("无法创建工作簿");
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, gridSheetName().toUtf8().constData());
    lxw_error failed = sheet ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
    // The trend grid's colour for a drawn value, white on it.
    lxw_format* marked = layout.form ? workbook_add_format(workbook) : nullptr;
    if (marked) {
        format_set_bold(marked);
        format_set_bg_color(marked, 0xC0392B);
        format_set_font_color(marked, LXW_COLOR_WHITE);
    }

    const auto writeRow = [&](lxw_row_t row, const QStringList& cells, qsizetype gridRow) {
        for (qsizetype c = 0; c < header.size() && failed == LXW_NO_ERROR; ++c) {
            const QString& text = c < cells.size() ? cells[c] : QString();
            // An empty text stays an empty cell; libxlsxwriter writes no cell for it.
            if (text.isEmpty())
                continue;
            const CellForm form =
                gridRow >= 0 && layout.form ? layout.form(gridRow, c) : CellForm::Text;
            bool number = false;
            const double value = form == CellForm::Number ? text.toDouble(&number) : 0;
            failed =
                number ? worksheet_write_number(sheet, row, lxw_col_t(c), value, nullptr)
                       : worksheet_write_string(sheet, row, lxw_col_t(c), text.toUtf8().constData(),
                                                form == CellForm::Marked ? marked : nullptr);
        }
    };
    lxw_row_t next = 0;
    if (failed == LXW_NO_ERROR && !layout.title.isEmpty())
        failed =
            worksheet_write_string(sheet, next++, 0, layout.title.toUtf8().constData(), nullptr);
    if (failed == LXW_NO_ERROR)
        writeRow(next++, header, -1);
    for (qsizetype r = 0; r < rows.size() && failed == LXW_NO_ERROR; ++r)
        writeRow(next++, rows[r], r);

    // Closing writes the file; it frees the workbook whether or not the cells went in.
    const lxw_error closed = workbook_close(workbook);
    if (failed == LXW_NO_ERROR)
        failed = closed;
    if (failed != LXW_NO_ERROR) {
        *why = describe(failed);
        return false;
    }
    return true;
}

} // namespace

bool writeGridWorkbook(const ExportTarget& target, const QStringList& header,
                       const QVector<QStringList>& rows, QString* error,
                       const SheetLayout& layout) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("无法写入文件 %1：%2").arg(target.path(), why);
        return false;
    };
    const qsizetype sheetRows = rows.size() + 1 + (layout.title.isEmpty() ? 0 : 1);
    if (sheetRows > kMaxSheetRows)
        return fail(QStringLiteral("表格有 %1 行，一张工作表最多容纳 %2 行")
                        .arg(sheetRows)
                        .arg(kMaxSheetRows));

    ExportTemporary temporary(target);
    QString why;
    if (!temporary.create(&why) || !writeCells(temporary.path(), header, rows, layout, &why) ||
        !temporary.commit(&why))
        return fail(why);
    return true;
}

} // namespace quorvex
