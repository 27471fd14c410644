#include "UpdatePlan.h"

namespace quorvex {

QVector<int> UpdatePlan::years() const {
    QVector<int> out;
    for (int y = firstYear; y <= lastYear; ++y)
        out << y;
    return out;
}

int UpdatePlan::firstSequence(int year) const {
    if (!continues || *continues / 1000 < year)
        return 1;
    return int(*continues % 1000) + 1;
}

UpdatePlan planUpdate(std::optional<qint64> first, std::optional<qint64> last, int iniSerchDay,
                      int currentYear) {
    UpdatePlan plan;
    plan.storedFirst = first;
    plan.storedLast = last;
    plan.lastYear = currentYear;
    plan.clearHistory = first && currentYear - *first / 1000 > iniSerchDay;
    if (plan.clearHistory || !last) {
        plan.firstYear = currentYear - iniSerchDay;
        return plan;
    }
    plan.continues = last;
    plan.firstYear = std::max(int(*last / 1000), kEarliestUpdateYear);
    return plan;
}

} // namespace quorvex
