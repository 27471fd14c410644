#pragma once

#include "draw/DrawRecord.h"

#include <QString>
#include <QUrl>
#include <QVector>

#include <optional>

namespace quorvex {

// The address of the results page of one year under the service's base address, or nothing
// and the reason when the base address is empty or not an http(s) address.
std::optional<QUrl> resultsPageUrl(const QString& baseAddress, int year, QString* error);

struct ScannedDraw {
    qint64 issue = 0;
    Numbers numbers{};
};

// One year's draws read from a results page's text.
struct YearScan {
    enum class End {
        PastLastSequence, // every sequence number up to 365 was read
        MissingIssue,     // the issue does not occur in the text: the year's usual end
        ReachedLimit,     // the issue is not later than the strQQH limit
        NotDrawn,         // no digit where the first number belongs
        InvalidNumbers,   // the numbers are not five different numbers of 1..15
    };
    QVector<ScannedDraw> draws; // consecutive issues from the first wanted one
    End end = End::PastLastSequence;
    qint64 endIssue = 0; // the issue the scan ended at (not taken)
    // The greatest sequence number of the year the page lists with numbers (0: none).
    int lastListed = 0;

    // The page lists a draw of the year at or after the issue the scan ended at: taking the
    // years after it would leave a gap.
    bool endsEarly() const {
        return end != End::PastLastSequence && lastListed >= int(endIssue % 1000);
    }
    // Issues were wanted, but the page lists no draw of the year at all.
    bool listsNoDraw() const { return end != End::PastLastSequence && lastListed == 0; }
};

constexpr int kLastSequence = 365;

// Scans the text for year's issues from firstSequence on. Each issue's first occurrence p
// holds the draw at fixed offsets: the numbers are the two characters at p + 20, 23, 26, 29
// and 32. The scan ends at the first issue that is missing, not later than limit (the greatest
// strQQH, when there is one), or whose numbers cannot be read or are not a draw. lastListed
// looks at the whole page, so that a scan ending before the page's last draw is seen.
YearScan scanResultsText(const QString& text, int year, int firstSequence,
                         const std::optional<QString>& limit);

// Whether a page's text is no results page at all: it lists no draw of the year in the draw
// layout (not even one before the first wanted issue), nor has it the heading of the results
// table, which a year without draws yet still shows. An error page, a login page or garbage that
// loaded is such a page.
bool isNotAResultsPage(const QString& text, const YearScan& scan);

} // namespace quorvex
