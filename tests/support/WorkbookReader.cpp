#include "WorkbookReader.h"

#include <QProcess>
#include <QXmlStreamReader>

namespace quorvex::test {

namespace {

std::optional<QByteArray> runTool(const QString& program, const QStringList& arguments,
                                  QString* why) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (why)
            *why = QStringLiteral("%1 failed: %2 %3")
                       .arg(program, p.errorString(), QString::fromUtf8(p.readAllStandardError()));
        return std::nullopt;
    }
    return p.readAllStandardOutput();
}

} // namespace

QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += ch;
                ++i;
            } else if (ch == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += ch;
            }
            continue;
        }
        if (ch == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (ch == QLatin1Char(',')) {
            record << field;
            field.clear();
            any = true;
        } else if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r')) {
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            record << field;
            records << record;
            record.clear();
            field.clear();
            any = false;
        } else {
            field += ch;
            any = true;
        }
    }
    if (any) {
        record << field;
        records << record;
    }
    return records;
}

std::optional<QList<QStringList>> readSheetCells(const QString& path, const QString& sheet,
                                                 QString* why) {
    const auto csv = runTool(
        QStringLiteral("xlsx2csv"),
        {QStringLiteral("-n"), sheet, QStringLiteral("-c"), QStringLiteral("utf-8"), path}, why);
    if (!csv)
        return std::nullopt;
    return parseCsv(QString::fromUtf8(*csv));
}

int nonTextCellCount(const QString& path) {
    const auto xml =
        runTool(QStringLiteral("unzip"),
                {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")}, nullptr);
    if (!xml || xml->isEmpty())
        return -1;
    QXmlStreamReader reader(*xml);
    int count = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("c"))
            continue;
        const auto type = reader.attributes().value(QLatin1String("t"));
        if (type != QLatin1String("s") && type != QLatin1String("inlineStr"))
            ++count;
    }
    return reader.hasError() ? -1 : count;
}

std::optional<QList<SheetCellForm>> sheetCellForms(const QString& path) {
    const auto xml =
        runTool(QStringLiteral("unzip"),
                {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")}, nullptr);
    if (!xml || xml->isEmpty())
        return std::nullopt;
    QXmlStreamReader reader(*xml);
    QList<SheetCellForm> cells;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("c"))
            continue;
        const auto attributes = reader.attributes();
        // A reference such as "AB12": letters for the column, digits for the row.
        const QString ref = attributes.value(QLatin1String("r")).toString();
        SheetCellForm cell;
        qsizetype i = 0;
        for (; i < ref.size() && ref[i].isLetter(); ++i)
            cell.column = cell.column * 26 + (ref[i].unicode() - 'A' + 1);
        cell.column -= 1;
        cell.row = ref.mid(i).toInt() - 1;
        const auto type = attributes.value(QLatin1String("t"));
        cell.number = type.isEmpty() || type == QLatin1String("n");
        const auto style = attributes.value(QLatin1String("s"));
        cell.formatted = !style.isEmpty() && style != QLatin1String("0");
        cells << cell;
    }
    if (reader.hasError())
        return std::nullopt;
    return cells;
}

} // namespace quorvex::test
