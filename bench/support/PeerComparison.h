#pragma once

#include "MemoryPass.h"
#include "SearchAnswer.h"

#include "analysis/PendingSearch.h"

#include <functional>
#include <memory>
#include <optional>

namespace quorvex::bench {

// One request of a benchmark with what our search and the plain pass answered, and their times.
struct Measured {
    BenchRequest request;
    SearchAnswer ours;
    SearchAnswer pass;
    double oursMs = 0; // with the working cells written
    double oursCpuMs = 0;
    double answerMs = 0; // until the answer is known, as the window shows it
    double answerCpuMs = 0;
    double passMs = 0;
    bool timed = true; // counted in the medians; false for a warm-up search
};

// Runs our search through start(), timed until its answer and until its cells are written, and
// the plain pass on the same request. Nothing after a message on stderr when the search failed.
std::optional<Measured>
measureSearch(const BenchRequest& request, const MemoryHistory& memory,
              const std::function<std::unique_ptr<PendingSearch>(QString*)>& start);

// Poses the same requests to the Python peer on the same database file, checks that ours, the
// peer and the pass agree on every one, and prints the medians with the ratios ours / peer
// (goal at most 1.0, and the same in processor time, steadier on a busy machine) and ours / pass,
// both for the answer and for the answer with its working cells written.
// False and a message in error on any disagreement or when the peer cannot run.
bool reportAgainstPeer(const QString& script, const QString& databasePath,
                       const QVector<Measured>& measured, QString* error);

} // namespace quorvex::bench
