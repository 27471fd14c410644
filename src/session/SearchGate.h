#pragma once

#include "SearchRefusal.h"

#include "analysis/Backtest.h"
#include "analysis/FollowResult.h"
#include "analysis/SearchRequest.h"
#include "analysis/TrendFigures.h"
#include "store/HistoryFit.h"
#include "store/HistorySnapshot.h"

#include <QThread>

#include <functional>
#include <optional>

namespace quorvex {

// What a run is asked on besides its request: the history its caller last read (a run refuses
// when anything wrote it since), whether no search can run on it and why (an empty history, no
// reference draw), the bases of the values it reads, and the zodiac years whose cut-offs are
// known already.
struct RunContext {
    std::optional<HistoryStore::Version> readAt;
    bool emptyHistory = false;
    QString notReady; // empty when a search may run
    ValueBases bases;
    ZodiacYear* zodiacYear = nullptr;
};

// A context for a run that needs no reference draw (the trend), on the history as it stands:
// read in one read of the file. Nothing, with the reason, where the history could not be read.
std::optional<RunContext> currentRunContext(const HistoryStore& store, const ValueBases& bases,
                                            ZodiacYear* zodiacYear, QString* error);

// The one gate every run passes, for both faces: it takes a complete request, checks it once,
// reads the history once (the check that nothing wrote it since the caller read it, the fit of
// the stored values and the read in one read of the file), runs the algorithm holding no lock,
// and returns the result or one typed refusal. It keeps no option: what it holds beside the
// store and its snapshot is the fit last worked out, for the version and bases it belongs to.
class SearchGate {
public:
    SearchGate(HistoryStore& store, HistorySnapshot& snapshot)
        : store_(store), snapshot_(snapshot) {}
    // Waits for a fit check still under way.
    ~SearchGate();
    SearchGate(const SearchGate&) = delete;
    SearchGate& operator=(const SearchGate&) = delete;

    // The follow search, or the combination search over combinedPositions positions. Refused,
    // in this order: an empty history, no reference draw, a bad request, a history that moved
    // on, stored values of other bases in a kind the search reads, a history that cannot be
    // read.
    Gated<FollowResult> follow(const SearchRequest& request, const RunContext& context);
    Gated<FollowResult> combination(const SearchRequest& request, int combinedPositions,
                                    const RunContext& context);

    // Which issues a backtest tries: the last `lastIssues` of the history, or from..to.
    struct BacktestRange {
        qint64 lastIssues = 100;
        std::optional<qint64> from;
        std::optional<qint64> to;
    };
    // Refused as a search is, when the reference values belong to no issue, and when progress
    // stops it.
    Gated<BacktestResult> backtest(BacktestRequest request, const BacktestRange& range,
                                   const RunContext& context,
                                   const std::function<bool(qsizetype, qsizetype)>& progress);

    // Which issues a trend covers: the last `lastIssues` of the history, or from..to, an end not
    // given being the history's; the whole history when nothing is given.
    struct TrendRange {
        std::optional<qint64> lastIssues;
        std::optional<qint64> from;
        std::optional<qint64> to;
    };
    // Refused: an empty history, a kind outside 0..5, a range after its end or holding no draw,
    // a history that moved on, a history that cannot be read or holds a draw that is not five
    // numbers of 1..15.
    Gated<TrendFigures> trend(int kind, const TrendRange& range, const RunContext& context);

    // Whether anything wrote the history since the caller read it at readAt.
    bool movedOn(const std::optional<HistoryStore::Version>& readAt) const;
    // Whether the stored zodiac and segment values fit the bases, worked out once per version of
    // the history (or taken from a check made beside, noteFit).
    std::optional<HistoryFit> fit(const ValueBases& bases, QString* error = nullptr);
    void noteFit(const HistoryStore::Version& version, const ValueBases& bases,
                 const HistoryFit& fit);
    // The fit worked out on a read-only connection of its own in another thread, so that a
    // window need not wait for the whole history to be read. found runs once, in the thread of
    // receiver, with what was found (nothing where the history could not be read); the caller
    // notes it where its bases are still these. One check at a time.
    using FitFound =
        std::function<void(std::optional<HistoryStore::Version>, std::optional<HistoryFit>)>;
    void checkFitBeside(const ValueBases& bases, QObject* receiver, const FitFound& found);

private:
    std::optional<SearchRefusal> readOnce(const SearchRequest& request, const QVector<int>& columns,
                                          const RunContext& context);
    std::optional<SearchRefusal> admit(const SearchRequest& request, int combinedPositions,
                                       const RunContext& context);

    HistoryStore& store_;
    HistorySnapshot& snapshot_;
    struct FitOf {
        HistoryStore::Version version;
        ValueBases bases;
        HistoryFit fit;
    };
    std::optional<FitOf> fit_;
    QThread* fitCheck_ = nullptr; // checkFitBeside() under way
};

} // namespace quorvex
