#pragma once

#include "ResultTally.h"
#include "WorkingCells.h"

#include <functional>
#include <memory>

namespace quorvex {

// A search whose answer is known while its working cells and Carcu are still to be written:
// the window shows the answer first, since writing the cells can take far longer than finding
// it. Its transaction holds the history's write lock until write() commits, so nothing else
// touches the history in between; dropped unwritten, it rolls back and the history stays as
// it was.
class PendingSearch {
public:
    ~PendingSearch();
    PendingSearch(const PendingSearch&) = delete;
    PendingSearch& operator=(const PendingSearch&) = delete;

    const FollowResult& result() const { return result_; }
    // Writes the changed cells and Carcu and commits; once only.
    bool write(QString* error);

    // Checks the request, then inside one transaction brings the mirror up to date with the
    // columns mark() uses, lets mark() set the working cells in memory, and lists and tallies
    // the rows the selection names within the issue range. Nothing and the reason when the
    // search cannot run.
    static std::unique_ptr<PendingSearch> start(HistoryStore& store, const SearchRequest& request,
                                                const QVector<int>& columns,
                                                const std::function<void(WorkingCells&)>& mark,
                                                const Selection& selection, QString* error);

private:
    explicit PendingSearch(HistoryStore& store);

    HistoryStore& store_;
    HistoryStore::Transaction transaction_;
    std::shared_ptr<HistoryMirror> mirror_;
    std::unique_ptr<WorkingCells> cells_;
    FollowResult result_;
    bool written_ = false;
};

// The follow and the combination search, answered and not yet written.
std::unique_ptr<PendingSearch> startFollowSearch(HistoryStore& store, const SearchRequest& request,
                                                 QString* error);
std::unique_ptr<PendingSearch>
startCombinationSearch(HistoryStore& store, const SearchRequest& request, int k, QString* error);

} // namespace quorvex
