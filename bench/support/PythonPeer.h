#pragma once

#include "SearchAnswer.h"

#include <optional>

namespace quorvex::bench {

struct PeerAnswer {
    double ms = 0;    // the peer's own time for answering, its loading excluded
    double cpuMs = 0; // its processor time for the same
    SearchAnswer answer;
};

// Runs the Python peer (/usr/bin/python3 script database requests) on the history database file and
// returns its answer to every request, in order. Nothing and a message in error when
// /usr/bin/python3 is missing, the peer fails, or its output does not hold one answer per request.
std::optional<QVector<PeerAnswer>> runPythonPeer(const QString& script, const QString& databasePath,
                                                 const QVector<BenchRequest>& requests,
                                                 QString* error);

} // namespace quorvex::bench
