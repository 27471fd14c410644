#include "HistoryLine.h"

namespace quorvex {

namespace {
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

constexpr qsizetype kIssueLength = 7;
} // namespace

QString historyLine(qint64 issue, const Numbers& numbers) {
    return QStringLiteral("%1 ").arg(issue, int(kIssueLength), 10, QLatin1Char('0')) +
           numberList(numbers);
}

ParsedHistoryLine parseHistoryLine(QStringView line) {
    ParsedHistoryLine out;
    line = line.trimmed();

    qsizetype pos = 0;
    qsizetype leading = 0;
    while (leading < line.size() && isDigit(line[leading]))
        ++leading;
    if (leading >= 3 && leading < kIssueLength)
        out.shortIssue = line.first(leading).toLongLong();
    if (line.size() >= kIssueLength) {
        bool allDigits = true;
        for (qsizetype i = 0; i < kIssueLength && allDigits; ++i)
            allDigits = isDigit(line[i]);
        if (allDigits && line.size() > kIssueLength && isDigit(line[kIssueLength])) {
            out.issueRunsOn = true;
            return out;
        }
        if (allDigits) {
            out.issue = line.first(kIssueLength).toLongLong();
            // The numbers start after the separator, whatever character it is.
            pos = kIssueLength + 1;
        }
    }

    // A pair must start before the last character, so the scan stops there.
    while (pos < line.size() - 1) {
        if (isDigit(line[pos]) && isDigit(line[pos + 1])) {
            const int n = (line[pos].unicode() - '0') * 10 + (line[pos + 1].unicode() - '0');
            if (out.count == kPositions) {
                out.moreThanFive = true;
                break;
            }
            out.numbers[out.count++] = n;
            pos += 2;
        } else {
            ++pos;
        }
    }
    return out;
}

HistoryLineReader::Line HistoryLineReader::read(QStringView line) {
    Line out;
    out.parsed = parseHistoryLine(line);
    // A line whose issue cannot be read is no draw: the numbering goes on past it.
    if (out.parsed.issueRunsOn)
        return out;
    if (out.parsed.issue) {
        out.issue = out.parsed.issue;
        out.issueWritten = true;
    } else if (previousIssue_) {
        out.issue = *previousIssue_ + 1;
    }
    previousIssue_ = out.issue;
    return out;
}

} // namespace quorvex
