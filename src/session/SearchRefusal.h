#pragma once

#include <QString>

#include <utility>
#include <variant>

namespace quorvex {

// Why the gate did not run a search, a combination search or a backtest: a kind that each face
// maps (the CLI to its exit code, the window to its dialog) and the one text that says why.
struct SearchRefusal {
    enum class Kind {
        BadRequest,   // a value of the request outside its range: the caller's to correct
        EmptyHistory, // nothing stored to search
        NoReference,  // no reference draw, or reference values that belong to no issue
        Misfit,       // stored zodiac or segment values of other bases in a kind the run reads
        MovedOn,      // the history was written since it was read: read it again and ask again
        Unreadable,   // the history could not be read
        Cancelled,    // stopped by the caller's progress callback
    };
    Kind kind;
    // For Misfit only what was found: each face adds its own remedy.
    QString text;
};

// A run's answer or its one refusal.
template <typename T> class Gated {
public:
    Gated(T value) : v_(std::move(value)) {}
    Gated(SearchRefusal refusal) : v_(std::move(refusal)) {}

    explicit operator bool() const { return v_.index() == 0; }
    const T& operator*() const { return std::get<0>(v_); }
    T& operator*() { return std::get<0>(v_); }
    const T* operator->() const { return &std::get<0>(v_); }
    const SearchRefusal& refusal() const { return std::get<1>(v_); }
    bool refusedAs(SearchRefusal::Kind kind) const { return !*this && refusal().kind == kind; }

private:
    std::variant<T, SearchRefusal> v_;
};

} // namespace quorvex
