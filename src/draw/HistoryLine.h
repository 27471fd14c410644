#pragma once

#include "DrawRecord.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace quorvex {

// The history text line: issue as seven digits (leading zeros included), one blank, five
// two-digit numbers each followed by one blank. Writers end each line with historyLineEnd();
// readers accept any line end. Only issues of 1..9999999 can be written so that they read back.
QString historyLine(qint64 issue, const Numbers& numbers);
inline bool historyLineCarries(qint64 issue) {
    return issue >= 1 && issue <= 9999999;
}
inline QString historyLineEnd() {
    return QStringLiteral("\r\n");
}

// What one line holds, before any check of the values.
struct ParsedHistoryLine {
    std::optional<qint64> issue; // set when the line starts with a seven-digit issue
    int count = 0;               // numbers found, at most five
    Numbers numbers{};           // the first `count` are valid
    bool moreThanFive = false;   // further digit pairs were ignored
    bool issueRunsOn = false;    // an eighth digit follows the seven: no issue can be trusted
    // Three to six digits lead the line (their value): read as numbers, as every run of
    // digits is, but perhaps an issue with digits missing, which a line that gives no draw names.
    std::optional<qint64> shortIssue;
};

// Reads one line tolerantly: surrounding blanks go; seven leading digits are the issue and the
// numbers are scanned from the ninth character; elsewhere every two adjacent digits are a
// number and any other character is a separator, so a lone digit is ignored. Seven digits and
// a digit after them are no issue of this form (20190025 would be filed as 2019002): such a
// line reads as nothing but issueRunsOn.
ParsedHistoryLine parseHistoryLine(QStringView line);

// Reads consecutive lines, numbering a line without issue on from the line before.
class HistoryLineReader {
public:
    // issueBefore: the issue a first line without issue follows; nothing leaves such lines
    // without an issue until a line carries one.
    explicit HistoryLineReader(std::optional<qint64> issueBefore = std::nullopt)
        : previousIssue_(issueBefore) {}

    struct Line {
        std::optional<qint64> issue; // nothing: no issue and none to number on from
        bool issueWritten = false;   // the line carried its issue itself
        ParsedHistoryLine parsed;
    };
    Line read(QStringView line);

private:
    std::optional<qint64> previousIssue_;
};

} // namespace quorvex
