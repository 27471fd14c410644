#pragma once

#include "ResultsPage.h"

#include <QMetaType>
#include <QString>
#include <QVector>

namespace quorvex {

// What the online update did with one year's page.
struct YearOutcome {
    int year = 0;
    QString error;     // the page could not be read: the year yields nothing
    YearScan scan;     // what the page yielded
    bool held = false; // draws found but not stored: an earlier year failed, they would leave a gap
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
    int cleared = 0; // draws deleted by the retention limit (only with draws appended)
    int retentionYears = 0;
    int appended = 0;
    qint64 firstIssue = 0;
    qint64 lastIssue = 0;
    QVector<YearOutcome> years; // in the order fetched

    bool changed() const { return outcome == Outcome::Updated; }
    QVector<int> failedYears() const;
    // Ran to the end with every page read.
    bool complete() const;
    // In Chinese: what was appended or why nothing changed, then each year that failed or
    // whose scan ended early.
    QString summary() const;
};

} // namespace quorvex

Q_DECLARE_METATYPE(quorvex::UpdateReport)
