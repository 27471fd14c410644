#include "MaintenanceOutput.h"

#include "draw/HistoryLine.h"

namespace quorvex::cli {

int printMaintenanceReport(const MaintenanceReport& report, Context& context) {
    if (report.failed())
        return context.fail(report.error);
    for (const DrawNumbers& d : report.removed)
        context.out() << historyLine(d.issue, d.numbers).trimmed() << '\n';
    MaintenanceReport shown = report;
    shown.warning.clear();
    context.out() << shown.message() << '\n';
    if (!report.warning.isEmpty())
        context.warn(report.warning);
    return ExitSuccess;
}

} // namespace quorvex::cli
