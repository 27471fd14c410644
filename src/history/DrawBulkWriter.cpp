#include "DrawBulkWriter.h"

#include "HistorySchema.h"

#include <QSqlError>

namespace quorvex {

DrawBulkWriter::DrawBulkWriter(HistoryStore& store) : store_(store), query_(store.database()) {}

bool DrawBulkWriter::prepare(QString* error) {
    QStringList cols{QStringLiteral("SQQH"), QStringLiteral("QQH")};
    cols << attributeColumns() << QStringLiteral("txtHisLst");
    for (int k = 0; k < kKindCount; ++k)
        cols << codeColumn(k);
    QStringList marks;
    for (qsizetype i = 0; i < cols.size(); ++i)
        marks << QStringLiteral("?");
    if (!query_.prepare(QStringLiteral("INSERT INTO Lishi (%1) VALUES (%2)")
                            .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))))) {
        if (error)
            *error = store_.errorText(query_.lastError());
        return false;
    }
    return true;
}

std::optional<DrawAttributes> DrawBulkWriter::append(qint64 issue, const Numbers& numbers,
                                                     qint64 zodiacIssue,
                                                     const std::optional<DrawAttributes>& previous,
                                                     const ValueBases& bases,
                                                     ZodiacYear& zodiacYear, QString* error) {
    PreviousDrawTexts texts;
    if (previous)
        texts = previousDrawTexts(*previous);
    // Rebuilding the year's number lists costs more than the rest of a row: only on a change.
    if (zodiacYearOfIssue(zodiacIssue) != zodiacYear.lngSxYear())
        zodiacYear.setFromIssue(zodiacIssue);
    const DrawAttributes a = deriveAttributes(numbers, zodiacYear, bases);

    int col = 0;
    query_.bindValue(col++, issue);
    query_.bindValue(col++, issue + 1);
    for (int i = 0; i < kPositions; ++i)
        for (int k = 0; k < kKindCount; ++k)
            query_.bindValue(col++, a.value[i][k]);
    // An empty text stands for "no draw before this one".
    query_.bindValue(col++, texts.txtHisLst.isNull() ? QStringLiteral("") : texts.txtHisLst);
    for (int k = 0; k < kKindCount; ++k)
        query_.bindValue(col++, texts.codes[k].isNull() ? QStringLiteral("") : texts.codes[k]);
    if (!query_.exec()) {
        if (error) {
            const QString code = query_.lastError().nativeErrorCode();
            *error = code == QLatin1String("19") || code == QLatin1String("1555")
                         ? QStringLiteral("期号 %1 已存在，未保存。").arg(issue)
                         : QStringLiteral("无法保存第 %1 期：%2")
                               .arg(issue)
                               .arg(store_.errorText(query_.lastError()));
        }
        return std::nullopt;
    }
    return a;
}

} // namespace quorvex
