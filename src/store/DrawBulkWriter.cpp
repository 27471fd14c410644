#include "DrawBulkWriter.h"

#include "HistorySchema.h"

#include <sqlite3.h>

namespace quorvex {

DrawBulkWriter::DrawBulkWriter(HistoryStore& store) : statement_(store) {}

bool DrawBulkWriter::prepare(QString* error) {
    const QStringList cols = drawColumns();
    QStringList marks;
    for (qsizetype i = 0; i < cols.size(); ++i)
        marks << QStringLiteral("?");
    if (!statement_.prepare(QStringLiteral("INSERT INTO Lishi (%1) VALUES (%2)")
                                .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))))) {
        if (error)
            *error = statement_.errorText();
        return false;
    }
    return true;
}

std::optional<DrawAttributes> DrawBulkWriter::append(qint64 issue, const Numbers& numbers,
                                                     qint64 zodiacIssue,
                                                     const std::optional<DrawAttributes>& previous,
                                                     const ValueBases& bases,
                                                     ZodiacYear& zodiacYear, QString* error) {
    // Rebuilding the year's number lists costs more than the rest of a row: only on a change.
    zodiacYear.followIssue(zodiacIssue);
    const DrawAttributes a = deriveAttributes(numbers, zodiacYear, bases);

    int col = 1;
    statement_.bind(col++, issue);
    statement_.bind(col++, issue + 1);
    for (int i = 0; i < kPositions; ++i)
        for (int k = 0; k < kKindCount; ++k)
            statement_.bind(col++, qint64(a.value[i][k]));
    // An empty text (never NULL) stands for "no draw before this one".
    if (previous) {
        texts_[0] = numberListText(previous->numbers());
        for (int k = 0; k < kKindCount; ++k)
            texts_[std::size_t(k) + 1] = codeAsciiText(k, previous->kindValues(k));
        for (const AsciiText& text : texts_)
            statement_.bindUtf8Kept(col++, text.bytes());
    } else {
        for (int k = 0; k <= kKindCount; ++k)
            statement_.bindUtf8(col++, {});
    }
    if (!statement_.exec()) {
        if (error) {
            // The issue is the table's key: a constraint failure is an issue already stored.
            const int code = sqliteErrorCode(statement_.lastError());
            *error =
                code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT
                    ? QStringLiteral("期号 %1 已存在，未保存。").arg(issue)
                    : QStringLiteral("无法保存第 %1 期：%2").arg(issue).arg(statement_.errorText());
        }
        return std::nullopt;
    }
    return a;
}

} // namespace quorvex
