#pragma once

#include "MemoryPass.h"
#include "PeerComparison.h"

#include "HistoryView.h"

namespace quorvex::bench {

// Requests at the edges of the follow question, posed once beside the timed ones so that ours,
// the peer and the pass must agree there too: follow draws without an earlier draw, typed
// repeated reference values, no ticked position, a narrow issue range, value bases under which
// stored values fall outside the result kind, and (combination) k = 1 and 5.
QVector<BenchRequest> edgeRequests(const HistoryView& view, bool combination);

// Answers each request with our search and the pass and appends them, untimed, to measured.
bool measureUntimed(const HistoryStore& store, HistorySnapshot& snapshot,
                    const MemoryHistory& memory, const QVector<BenchRequest>& requests,
                    QVector<Measured>* measured, QString* error);

} // namespace quorvex::bench
