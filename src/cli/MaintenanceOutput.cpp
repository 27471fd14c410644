#include "MaintenanceOutput.h"

#include "ArgumentValues.h"
#include "import/HistoryLine.h"

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

std::optional<qint64> positiveArgument(const QString& text, const QString& what, Context& context) {
    auto value = plainNumber(text);
    if (value && *value == 0)
        value.reset();
    if (!value)
        context.usage(
            QStringLiteral("%1 must be a positive whole number, not '%2'; nothing changed")
                .arg(what, text));
    return value;
}

} // namespace quorvex::cli
