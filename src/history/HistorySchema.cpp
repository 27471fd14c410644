#include "HistorySchema.h"

#include "AttributeKind.h"

namespace quorvex {

QStringList attributeColumns() {
    QStringList cols;
    for (int i = 1; i <= kPositions; ++i)
        for (int k = 0; k < kKindCount; ++k)
            cols << attributeColumn(i, k);
    return cols;
}

QStringList requiredLishiColumns() {
    QStringList cols{QStringLiteral("SQQH"), QStringLiteral("QQH")};
    cols << attributeColumns();
    for (QChar suffix : {QLatin1Char('S'), QLatin1Char('P')})
        for (const QString& c : attributeColumns())
            cols << c + suffix;
    cols << QStringLiteral("txtHisLst") << QStringLiteral("txtHisPreLst");
    for (int k = 0; k < kKindCount; ++k)
        cols << codeColumn(k) << preCodeColumn(k);
    cols << QStringLiteral("intTh") << QStringLiteral("bolOk") << QStringLiteral("txtHisP6");
    return cols;
}

QStringList historySchemaStatements() {
    QStringList defs;
    defs << QStringLiteral("SQQH INTEGER PRIMARY KEY") << QStringLiteral("QQH INTEGER")
         << QStringLiteral("strQQH TEXT");
    for (const QString& c : attributeColumns())
        defs << c + QStringLiteral(" INTEGER");
    for (QChar suffix : {QLatin1Char('S'), QLatin1Char('P')})
        for (const QString& c : attributeColumns())
            defs << c + suffix + QStringLiteral(" INTEGER");
    defs << QStringLiteral("txtHisLst TEXT");
    for (int k = 0; k < kKindCount; ++k)
        defs << codeColumn(k) + QStringLiteral(" TEXT");
    defs << QStringLiteral("txtHisPreLst TEXT");
    for (int k = 0; k < kKindCount; ++k)
        defs << preCodeColumn(k) + QStringLiteral(" TEXT");
    defs << QStringLiteral("intTh INTEGER NOT NULL DEFAULT 0")
         << QStringLiteral("bolOk INTEGER NOT NULL DEFAULT 0") << QStringLiteral("txtHisP6 TEXT");

    return {QStringLiteral("CREATE TABLE Lishi (") + defs.join(QStringLiteral(", ")) +
                QLatin1Char(')'),
            QStringLiteral("CREATE TABLE Carcu (Nmb INTEGER, Count INTEGER)")};
}

} // namespace quorvex
