#pragma once

#include "MemoryPass.h"
#include "SearchAnswer.h"

#include "store/HistorySnapshot.h"

#include <optional>

namespace quorvex::bench {

// One request of a benchmark with what our search and the plain pass answered, and their times.
struct Measured {
    BenchRequest request;
    SearchAnswer ours;
    SearchAnswer pass;
    double answerMs = 0; // the snapshot brought up to date, then the answer
    double answerCpuMs = 0;
    double passMs = 0;
    bool timed = true; // counted in the medians; false for a warm-up search
};

// Our search as a session runs it: the snapshot (kept between searches) brought up to date with
// the request's columns, then the answer.
std::optional<FollowResult> snapshotSearch(const HistoryStore& store, HistorySnapshot& snapshot,
                                           const BenchRequest& request, QString* error);

// Runs our search through snapshotSearch, timed, and the plain pass on the same request.
// Nothing after a message on stderr when the search failed.
std::optional<Measured> measureSearch(const BenchRequest& request, const MemoryHistory& memory,
                                      const HistoryStore& store, HistorySnapshot& snapshot);

// Reads every column a search can read into the snapshot, so that what is timed next is the
// search alone. False and the reason when the history cannot be read.
bool loadEveryColumn(const HistoryStore& store, HistorySnapshot& snapshot, QString* error);

// Poses the same requests to the Python peer on the same database file, checks that ours, the
// peer and the pass agree on every one, and prints the medians with the ratios ours / peer
// (goal at most 1.0, and the same in processor time, steadier on a busy machine) and ours / pass.
// False and a message in error on any disagreement or when the peer cannot run.
bool reportAgainstPeer(const QString& script, const QString& databasePath,
                       const QVector<Measured>& measured, QString* error);

} // namespace quorvex::bench
