#include "TrendGridModel.h"

#include "presentation/TrendGridTexts.h"

#include <QBrush>
#include <QColor>

namespace quorvex {

TrendGridModel::TrendGridModel(QObject* parent) : TextGridModel({}, parent) {}

void TrendGridModel::setTrend(std::shared_ptr<const TrendFigures> trend) {
    trend_ = std::move(trend);
    odds_ = std::make_unique<OmissionOdds>(*trend_);
    const TrendFigures* figures = trend_.get();
    setContents(trendGridHeader(*figures), GridRows(figures->rows(), [figures](qsizetype row) {
                    return trendGridRow(*figures, row);
                }));
}

QVariant TrendGridModel::data(const QModelIndex& index, int role) const {
    const int value = index.column() - kValueColumn;
    if (!trend_ || !index.isValid() || value < 0 ||
        (role != Qt::BackgroundRole && role != Qt::ForegroundRole))
        return TextGridModel::data(index, role);
    const int band = odds_->band(index.row(), value);
    if (role == Qt::ForegroundRole)
        return band == 0 ? QVariant(QBrush(Qt::white)) : QVariant();
    // A drawn value stands out; omissions warm up as a fair draw gives them more rarely.
    static const QColor shades[] = {QColor(0xc0, 0x39, 0x2b), QColor(), QColor(0xfd, 0xeb, 0xc8),
                                    QColor(0xf5, 0xb0, 0x7a)};
    return shades[band].isValid() ? QVariant(QBrush(shades[band])) : QVariant();
}

} // namespace quorvex
