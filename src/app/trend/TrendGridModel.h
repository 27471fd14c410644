#pragma once

#include "app/results/TextGridModel.h"

#include "analysis/FairOmission.h"

#include <memory>

namespace quorvex {

// The trend grid: one row per issue, made when shown, each value's cell shaded by how rare its
// omission is under a fair draw (OmissionOdds::band).
class TrendGridModel : public TextGridModel {
    Q_OBJECT
public:
    explicit TrendGridModel(QObject* parent = nullptr);

    void setTrend(std::shared_ptr<const TrendFigures> trend);
    const TrendFigures* trend() const { return trend_.get(); }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The columns before the values: 期号 and 开奖.
    static constexpr int kValueColumn = 2;

private:
    std::shared_ptr<const TrendFigures> trend_;
    std::unique_ptr<OmissionOdds> odds_;
};

} // namespace quorvex
