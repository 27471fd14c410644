#pragma once

#include "analysis/SearchRequest.h"
#include "analysis/SearchSession.h"
#include "Command.h"

#include <functional>

namespace quorvex::cli {

// The options search and combo share: what the window's option frames, tabs and issue boxes
// hold, as command-line options (the command adds --format itself).
void addSearchOptions(QCommandLineParser& parser);

// The combination search compares every group of positions and ignores the ticked ones.
enum class PositionUse { Ticked, Ignored };

// The search options as given, checked as far as they can be without the history.
struct SearchOptions {
    bool matches = false;
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

using SessionSearch =
    std::function<std::optional<FollowResult>(SearchSession&, const SearchRequest&, QString*)>;

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
