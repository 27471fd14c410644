#pragma once

#include "SearchRefusal.h"

#include <optional>

namespace quorvex {

// How often a run is tried in all when the history moves on under it.
constexpr int kRunTries = 3;

inline bool movedOn(const SearchRefusal& refusal) {
    return refusal.kind == SearchRefusal::Kind::MovedOn;
}
template <typename T> bool movedOn(const Gated<T>& outcome) {
    return !outcome && movedOn(outcome.refusal());
}
template <typename T> bool movedOn(const std::optional<Gated<T>>& outcome) {
    return outcome && movedOn(*outcome);
}

// Runs attempt until it answers on the history as it stands: an answer refused because the
// history was written since the caller last read it is asked again, up to kRunTries times in
// all, and the last refusal stands. attempt reads the history afresh each time (every face's
// run goes through here, so they all give up alike). It returns a Gated, or nothing where it
// could not run at all.
template <typename Attempt> auto untilCurrent(Attempt&& attempt) -> decltype(attempt()) {
    auto outcome = attempt();
    for (int tries = 1; tries < kRunTries && movedOn(outcome); ++tries)
        outcome = attempt();
    return outcome;
}

} // namespace quorvex
