#pragma once

#include "Command.h"
#include "maintenance/HistoryMaintenance.h"

namespace quorvex::cli {

// Prints what a maintenance command removed, one history line per draw, then its message;
// a compaction warning goes to stderr. Returns the exit status.
int printMaintenanceReport(const MaintenanceReport& report, Context& context);

} // namespace quorvex::cli
