#include "HistoryView.h"

#include "store/HistorySchema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace quorvex {

std::optional<StoredDraw> HistoryView::at(qsizetype position) const {
    if (position < 0 || position >= rows_.size())
        return std::nullopt;
    return rows_[position];
}

HistoryView readHistoryView(const HistoryStore& store, QString* error) {
    QSqlQuery q(store.database());
    q.setForwardOnly(true);
    QVector<StoredDraw> rows;
    if (q.exec(QStringLiteral("SELECT SQQH,%1 FROM Lishi ORDER BY SQQH")
                   .arg(attributeColumns().join(QLatin1Char(','))))) {
        while (q.next()) {
            StoredDraw d;
            d.issue = q.value(0).toLongLong();
            for (int i = 0, col = 1; i < kPositions; ++i)
                for (int k = 0; k < kKindCount; ++k)
                    d.attributes.value[i][k] = q.value(col++).toInt();
            rows.append(d);
        }
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = q.lastError().text();
        return {};
    }
    return HistoryView(std::move(rows));
}

qsizetype SeekRefDraw(const HistoryView& view, bool bolSq, int intPreQi) {
    const qsizetype position = view.size() - 1 - (bolSq ? 0 : qMax(0, intPreQi - 1));
    return position >= 0 ? position : -1;
}

std::optional<std::array<int, kPositions>> referenceValuesAt(const HistoryView& view,
                                                             qsizetype position, int kind) {
    const auto draw = view.at(position);
    if (!draw || kind < 0 || kind >= kKindCount)
        return std::nullopt;
    return draw->attributes.kindValues(kind);
}

} // namespace quorvex
