#pragma once

#include "ResultsPage.h"

#include <QMetaType>
#include <QString>
#include <QVector>

#include <optional>

namespace quorvex {

// What the online update did with one year's page.
struct YearOutcome {
    int year = 0;
    QString error;                // the page could not be read: the year yields nothing
    bool notAResultsPage = false; // it loaded, but is no results page (error says so too)
    YearScan scan;                // what the page yielded
    bool held = false;            // draws found but not stored: they would leave a gap
};

// Where an update's appends ended short of the newest draw the service lists: nothing from
// issue on was stored, so that the history has no gap.
struct UpdateStop {
    enum class Cause {
        PageFailed, // the year's page could not be read
        EndedEarly, // the year's scan ended before the page's last draw
        NoDraws,    // the year's page lists no draw, a later year's does
    };
    Cause cause = Cause::PageFailed;
    int year = 0;
    qint64 issue = 0; // the first issue not stored
};

// The outcome of one online update, for one message to the user.
struct UpdateReport {
    enum class Outcome {
        Updated,    // draws were appended
        NothingNew, // the pages held no draw after the stored last one; nothing changed
        Failed,     // nothing changed; error says why
        Cancelled,  // nothing changed
    };
    Outcome outcome = Outcome::Failed;
    QString error;
    int cleared = 0;  // draws deleted by the retention limit (only with draws appended)
    QString copyFile; // the copy kept of the history the retention deleted
    int retentionYears = 0;
    int appended = 0;
    qint64 firstIssue = 0;
    qint64 lastIssue = 0;
    QVector<YearOutcome> years; // in the order fetched
    std::optional<UpdateStop> stop;
    // The retention delete was due but not done: what replaces the history has a gap.
    bool retentionKept = false;

    bool changed() const { return outcome == Outcome::Updated; }
    QVector<int> failedYears() const;
    // Ran to the end and brought the history up to the newest draw the service lists.
    bool complete() const;
    // In Chinese: what was appended or why nothing changed, then each year that failed or
    // whose scan ended early, and where and why the appends stopped.
    QString summary() const;
};

} // namespace quorvex

Q_DECLARE_METATYPE(quorvex::UpdateReport)
