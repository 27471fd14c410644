#pragma once

#include "analysis/FollowSearch.h"
#include "Command.h"

#include <functional>

namespace quorvex::cli {

// The options search and combo share: what the window's option frames, tabs and issue boxes
// hold, as command-line options (the command adds --format itself).
void addSearchOptions(QCommandLineParser& parser);

// Runs one search of the window's kind over the folder's history and prints the result grid,
// or with --matches the match grid. Positional arguments are the caller's to check.
// Returns the exit status.
// The combination search compares every group of positions and ignores the ticked ones.
enum class PositionUse { Ticked, Ignored };
using SearchRunner =
    std::function<std::optional<FollowResult>(HistoryStore&, const SearchRequest&, QString*)>;
int runSearchCommand(const QCommandLineParser& parser, Context& context, GridFormat format,
                     PositionUse positions, const SearchRunner& search);

// The search runSearchCommand runs, without printing: its result, or nothing once the reason
// has been reported, status then holding the exit status.
std::optional<FollowResult> runSearchFromOptions(const QCommandLineParser& parser, Context& context,
                                                 PositionUse positions, const SearchRunner& search,
                                                 int& status);

} // namespace quorvex::cli
