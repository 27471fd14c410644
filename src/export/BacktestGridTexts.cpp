#include "BacktestGridTexts.h"

#include "analysis/ResultTally.h"

namespace quorvex {

QStringList backtestGridHeader() {
    return {QStringLiteral("期号"), QStringLiteral("前K个结果"), QStringLiteral("开奖"),
            QStringLiteral("命中"), QStringLiteral("期望")};
}

QVector<QStringList> backtestGridRows(const BacktestResult& result, int resultKind, int sxIni) {
    auto labels = [&](const auto& values) {
        QStringList out;
        for (const int v : values)
            out << valueLabel(resultKind, v, sxIni);
        return out.join(QLatin1Char(' '));
    };
    QVector<QStringList> rows;
    rows.reserve(result.rows.size());
    for (const BacktestRow& row : result.rows)
        rows << QStringList{QString::number(row.issue), labels(row.top), labels(row.drawn),
                            QString::number(row.hits), QString::number(row.expected, 'f', 3)};
    return rows;
}

} // namespace quorvex
