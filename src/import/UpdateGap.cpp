#include "UpdateGap.h"

namespace quorvex {

namespace {

bool laterYearListsDraws(const QVector<YearOutcome>& years, qsizetype after) {
    return std::any_of(years.begin() + after + 1, years.end(), [](const YearOutcome& y) {
        return y.error.isEmpty() && y.scan.lastListed > 0;
    });
}

std::optional<UpdateStop> stopAt(const YearOutcome& y, const UpdatePlan& plan) {
    if (!y.error.isEmpty())
        return UpdateStop{UpdateStop::Cause::PageFailed, y.year,
                          qint64(y.year) * 1000 + plan.firstSequence(y.year)};
    if (y.scan.endsEarly())
        return UpdateStop{UpdateStop::Cause::EndedEarly, y.year, y.scan.endIssue};
    return std::nullopt;
}

} // namespace

QVector<ScannedDraw> drawsBeforeFirstGap(UpdateReport& report, const UpdatePlan& plan) {
    QVector<YearOutcome>& years = report.years;
    report.stop.reset();
    report.retentionKept = false;
    QVector<ScannedDraw> draws;
    qsizetype next = 0;
    for (; next < years.size() && !report.stop; ++next) {
        const YearOutcome& y = years[next];
        if (y.scan.listsNoDraw() && laterYearListsDraws(years, next)) {
            report.stop = UpdateStop{UpdateStop::Cause::NoDraws, y.year, y.scan.endIssue};
            break;
        }
        // A year that ends early keeps the draws before its gap.
        draws += y.scan.draws;
        report.stop = stopAt(y, plan);
    }
    if (report.stop && plan.clearHistory) {
        report.retentionKept = true;
        draws.clear();
        next = 0;
    }
    for (; next < years.size(); ++next)
        years[next].held = !years[next].scan.draws.isEmpty();
    return draws;
}

} // namespace quorvex
