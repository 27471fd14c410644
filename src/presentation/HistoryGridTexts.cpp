#include "HistoryGridTexts.h"

namespace quorvex {

QStringList historyGridHeader() {
    QStringList header{QStringLiteral("期号")};
    for (int i = 1; i <= kPositions; ++i)
        header << QStringLiteral("第%1码").arg(i);
    return header;
}

QVector<QStringList> historyGridRows(const QVector<DrawNumbers>& draws) {
    QVector<QStringList> rows;
    rows.reserve(draws.size());
    for (const DrawNumbers& d : draws) {
        QStringList row;
        row.reserve(1 + kPositions);
        row << QString::number(d.issue);
        for (int n : d.numbers)
            row << QString::number(n);
        rows << row;
    }
    return rows;
}

} // namespace quorvex
