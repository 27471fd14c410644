#pragma once

#include "draw/DrawRecord.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace quorvex {

// A history text file read and checked line by line, before anything is stored.

// Largest history file read: a 100,000-line history is about 2.5 MB.
constexpr qint64 kMaxHistoryFileBytes = 64 * 1024 * 1024;

// One draw read from a history file.
struct ImportedDraw {
    qint64 issue = 0;
    Numbers numbers{};
    int lineNumber = 0; // 1-based line of the file
};

// A line that was not stored as it stood.
struct LineProblem {
    enum Reason {
        NoIssue,          // no issue and no line before it with one
        IssueNotPositive, // value: the issue
        TooFewNumbers,    // value: how many were found
        NumberOutOfRange, // value: the number
        NumberRepeated,   // value: the number
        IssueRepeated,    // value: the issue; other: line of the draw kept
        ExtraNumbersCut,  // more than five numbers: no draw of five
        IssueRunsOn,      // seven digits and an eighth: which issue is meant cannot be told
        IssueTooShort,    // value: three to six digits where the seven of an issue belong
    };
    int lineNumber = 0;
    Reason reason = NoIssue;
    qint64 value = 0;
    qint64 other = 0;
    QString text; // the line, its surrounding blanks gone, cut after 60 characters

    // "第 12 行：只有 3 个号码"
    QString describe() const;
};

// A history file read and checked, before anything is stored.
struct HistoryFileContents {
    QString error;                 // set when the file must not be imported
    QVector<ImportedDraw> draws;   // ascending issue, each issue once
    QVector<LineProblem> problems; // in line order
    int skippedLines() const;
};

// Reads and checks a history file: missing, unreadable, empty, binary, oversized, noisy or
// draw-less files give an error and no draws.
HistoryFileContents readHistoryFile(const QString& path);
// The same checks over the bytes of a file.
HistoryFileContents parseHistoryData(const QByteArray& data);

} // namespace quorvex
