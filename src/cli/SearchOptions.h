#pragma once

#include "analysis/SearchRequest.h"
#include "Command.h"
#include "session/SearchSession.h"

#include <functional>

namespace quorvex::cli {

// The options search and combo share: what the window's option frames, tabs and issue boxes
// hold, as command-line options (the command adds --format itself).
void addSearchOptions(QCommandLineParser& parser);

// The combination search compares every group of positions and ignores the ticked ones.
enum class PositionUse { Ticked, Ignored };

// The search options as given, checked as far as they can be without the history.
struct SearchOptions {
    bool matches = false;  // the follow draws are listed, not only tallied
    bool baseline = false; // the comparison with chance beside the result grid
    int kind = 0;
    int resultKind = 0;
    bool free = true;
    int lag = 1;
    std::array<bool, kPositions> positions{};
    QStringList typedValues; // five whole numbers, or empty
    std::optional<qint64> verify;
    bool before = false;
    std::optional<qint64> from;
    std::optional<qint64> to;

    // The exit status of a usage error (reported), or ExitSuccess.
    int parse(const QCommandLineParser& parser, Context& context, PositionUse use);
    // Sets the session's options and reference for one run; nothing is stored.
    bool apply(SearchSession& session, QString* error) const;
};

// A kind named by the option (any case) or its index 0..5; nothing after the usage error.
std::optional<int> kindOption(const QCommandLineParser& parser, const QString& option,
                              Context& context);
// --from and --to as issues, the first not after the second: the exit status of a usage error
// (reported), or ExitSuccess.
int parseIssueBounds(const QCommandLineParser& parser, Context& context,
                     std::optional<qint64>* from, std::optional<qint64>* to);
// --last N (1..1,000,000), which cannot go with --from or --to; unset when not given.
int parseLastIssues(const QCommandLineParser& parser, Context& context,
                    std::optional<qint64>* last);

using SessionSearch = std::function<Gated<FollowResult>(SearchSession&, const SearchRequest&)>;

// A refusal of the gate said on stderr: a bad request is bad usage (exit 2), anything else a
// failure (exit 1); stored values of other bases get the command that derives them afresh.
int sayRefusal(Context& context, const SearchRefusal& refusal);
// The combination search over k positions.
Gated<FollowResult> runCombinationOver(SearchSession& session, const QString& k,
                                       const SearchRequest& request);
// Misfits in kinds a run does not read are only named, with the same remedy.
void noteMisfits(Context& context, SearchSession& session);

// Runs the search the options describe on a session over the folder's history (settings as the
// window reads them, changed options not stored). Nothing, with the exit status in status after
// the message, when it cannot run.
std::optional<FollowResult> runSearchFromOptions(const SearchOptions& options, HistoryStore& store,
                                                 Context& context, const SessionSearch& search,
                                                 int* status);

// The same, printing the result grid, or with --matches the match grid. Returns the exit status.
int runSearchCommand(const SearchOptions& options, HistoryStore& store, Context& context,
                     GridFormat format, const SessionSearch& search);

} // namespace quorvex::cli
