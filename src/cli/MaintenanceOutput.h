#pragma once

#include "Command.h"
#include "import/HistoryMaintenance.h"

namespace quorvex::cli {

// Prints what a maintenance command removed, one history line per draw, then its message;
// a compaction warning goes to stderr. Returns the exit status.
int printMaintenanceReport(const MaintenanceReport& report, Context& context);

// A positive whole number in plain digits given as a command's argument, or nothing after a
// usage error.
std::optional<qint64> positiveArgument(const QString& text, const QString& what, Context& context);

} // namespace quorvex::cli
