#include "HistoryFile.h"

#include "draw/HistoryLine.h"
#include "image/LishiImage.h"
#include "store/HistoryTextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace quorvex {

namespace {

bool isUnreadable(const LineProblem& p) {
    return p.reason != LineProblem::ExtraNumbersCut && p.reason != LineProblem::IssueRepeated;
}

// Text check: NUL bytes, many control characters, or invalid UTF-8 made mostly of high bytes
// mean the file is not a text file. Other 8-bit encodings pass: only ASCII digits matter.
bool decodeText(const QByteArray& data, QString* text) {
    const bool utf16le = data.startsWith("\xFF\xFE");
    const bool utf16be = data.startsWith("\xFE\xFF");
    if (utf16le || utf16be) {
        QStringDecoder decoder(utf16le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        *text = decoder(data);
        return !decoder.hasError() && !text->contains(QChar(0));
    }
    qsizetype control = 0, high = 0;
    for (const char ch : data) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0)
            return false;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') ||
            c == 0x7F)
            ++control;
        else if (c >= 0x80)
            ++high;
    }
    if (control * 100 > data.size())
        return false;
    QStringDecoder decoder(QStringConverter::Utf8);
    *text = decoder(data);
    return !decoder.hasError() || high * 10 <= data.size() * 3;
}

QString twoDigits(qint64 n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

struct Candidate {
    ImportedDraw draw;
    bool cut = false;
    // Where its line lies in the text: a problem's text is made only for a line that has one.
    qsizetype at = 0;
    qsizetype length = 0;
};

QString problemText(QStringView line) {
    const QStringView t = line.trimmed();
    return t.size() > 60 ? t.first(60).toString() + QStringLiteral("…") : t.toString();
}

} // namespace

QString LineProblem::describe() const {
    const QString line = QStringLiteral("第 %1 行：").arg(lineNumber);
    switch (reason) {
    case NoIssue:
        return line + QStringLiteral("没有期号，前面也没有带期号的行");
    case IssueNotPositive:
        return line + QStringLiteral("期号 %1 无效").arg(value);
    case TooFewNumbers:
        return line + QStringLiteral("只有 %1 个两位数号码，需要五个").arg(value);
    case NumberOutOfRange:
        return line + QStringLiteral("号码 %1 不在 01 到 15 之间").arg(twoDigits(value));
    case NumberRepeated:
        return line + QStringLiteral("号码 %1 重复").arg(twoDigits(value));
    case IssueRepeated:
        return line +
               QStringLiteral("期号 %1 与第 %2 行重复，保留了第 %2 行").arg(value).arg(other);
    case ExtraNumbersCut:
        return line + QStringLiteral("多于五个号码，不是一期开奖");
    case IssueRunsOn:
        return line + QStringLiteral("期号多于七位数字，不知道是哪一期");
    case IssueTooShort:
        return line + QStringLiteral("期号 %1 不足七位数字，不知道是哪一期").arg(value);
    }
    return line;
}

int HistoryFileContents::skippedLines() const {
    // Every line with a problem is left out.
    return int(problems.size());
}

HistoryFileContents parseHistoryData(const QByteArray& data) {
    HistoryFileContents out;
    if (data.isEmpty()) {
        out.error = QStringLiteral("文件是空的。");
        return out;
    }
    // A copy of the history (HistoryCopies.h) is read as the history lines it holds.
    if (data.startsWith(LishiImage::magicPrefix())) {
        QString why;
        const auto copy = LishiImage::fromBytes(data, &why);
        if (!copy) {
            out.error = why + QStringLiteral("。");
            return out;
        }
        return parseHistoryData(historyText(copy->image.draws));
    }
    QString text;
    if (!decodeText(data, &text)) {
        out.error = QStringLiteral("这不是文本文件。");
        return out;
    }

    QVector<Candidate> candidates;
    HistoryLineReader reader;
    int lineNumber = 0;
    qsizetype nonBlank = 0;
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = start;
        while (end < all.size() && all[end] != QLatin1Char('\n') && all[end] != QLatin1Char('\r'))
            ++end;
        const QStringView line = all.sliced(start, end - start);
        ++lineNumber;
        // CR LF, LF and a lone CR each end one line.
        start = end + 1;
        if (end < all.size() && all[end] == QLatin1Char('\r') && start < all.size() &&
            all[start] == QLatin1Char('\n'))
            ++start;

        // Blank lines neither count as draws nor move the issue on.
        if (line.trimmed().isEmpty())
            continue;
        ++nonBlank;
        const auto read = reader.read(line);
        const ParsedHistoryLine& p = read.parsed;
        auto problem = [&](LineProblem::Reason reason, qint64 value = 0) {
            out.problems.append({lineNumber, reason, value, 0, problemText(line)});
        };
        if (p.issueRunsOn) {
            problem(LineProblem::IssueRunsOn);
            continue;
        }
        if (!read.issue) {
            problem(LineProblem::NoIssue);
            continue;
        }
        if (*read.issue <= 0) {
            problem(LineProblem::IssueNotPositive, *read.issue);
            continue;
        }
        // A line that gives no draw and starts with a few digits more likely holds an issue with
        // digits missing than a number outside 1..15: said so.
        const bool shortIssue = !read.issueWritten && p.shortIssue;
        if (p.count < kPositions || (shortIssue && !drawFaults(p.numbers).isEmpty())) {
            if (shortIssue)
                problem(LineProblem::IssueTooShort, *p.shortIssue);
            else
                problem(LineProblem::TooFewNumbers, p.count);
            continue;
        }
        if (const auto faults = drawFaults(p.numbers); !faults.isEmpty()) {
            const DrawFault& f = faults.first();
            problem(f.kind == DrawFault::OutOfRange ? LineProblem::NumberOutOfRange
                                                    : LineProblem::NumberRepeated,
                    f.number);
            continue;
        }
        candidates.append({{*read.issue, p.numbers, lineNumber},
                           p.moreThanFive,
                           line.data() - all.data(),
                           line.size()});
    }

    if (nonBlank == 0) {
        out.error = QStringLiteral("文件里只有空白，没有历史号码。");
        return out;
    }

    // Ascending issues whatever the order of the lines; of a repeated issue the first line in
    // the file is kept (the sort is stable). Most files are in order already.
    const auto byIssue = [](const Candidate& a, const Candidate& b) {
        return a.draw.issue < b.draw.issue;
    };
    if (!std::is_sorted(candidates.begin(), candidates.end(), byIssue))
        std::stable_sort(candidates.begin(), candidates.end(), byIssue);
    out.draws.reserve(candidates.size());
    for (const Candidate& c : candidates) {
        const auto text = [&] { return problemText(all.sliced(c.at, c.length)); };
        if (!out.draws.isEmpty() && out.draws.last().issue == c.draw.issue) {
            out.problems.append({c.draw.lineNumber, LineProblem::IssueRepeated, c.draw.issue,
                                 out.draws.last().lineNumber, text()});
            continue;
        }
        // A sixth number makes no draw of this lottery: the line is left out, not cut.
        if (c.cut) {
            out.problems.append({c.draw.lineNumber, LineProblem::ExtraNumbersCut, 0, 0, text()});
            continue;
        }
        out.draws.append(c.draw);
    }
    std::stable_sort(
        out.problems.begin(), out.problems.end(),
        [](const LineProblem& a, const LineProblem& b) { return a.lineNumber < b.lineNumber; });

    const auto unreadable = std::count_if(out.problems.begin(), out.problems.end(), isUnreadable);
    if (out.draws.isEmpty()) {
        out.error =
            QStringLiteral("文件中没有可读入的历史号码（%1 行都无法读取）。").arg(unreadable);
    } else if (unreadable > out.draws.size()) {
        // Mostly not draws: more likely the wrong file than a history with some bad lines.
        out.error =
            QStringLiteral("文件中只有 %1 行是历史号码，%2 行无法读取，看来不是历史号码文件。")
                .arg(out.draws.size())
                .arg(unreadable);
        out.draws.clear();
    }
    return out;
}

HistoryFileContents readHistoryFile(const QString& path) {
    HistoryFileContents out;
    const QFileInfo info(path);
    if (!info.exists()) {
        out.error = QStringLiteral("找不到文件 %1。").arg(path);
        return out;
    }
    if (!info.isFile()) {
        out.error = QStringLiteral("%1 不是普通文件。").arg(path);
        return out;
    }
    const auto tooLarge = [&] {
        out.error = QStringLiteral("文件 %1 超过 %2 MB，不像是历史号码文件。")
                        .arg(path)
                        .arg(kMaxHistoryFileBytes / (1024 * 1024));
        return out;
    };
    if (info.size() > kMaxHistoryFileBytes)
        return tooLarge();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error = QStringLiteral("无法打开文件 %1：%2。").arg(path, file.errorString());
        return out;
    }
    // Read one byte past the limit: a file that grew meanwhile is still refused.
    const QByteArray data = file.read(kMaxHistoryFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        out.error = QStringLiteral("无法读取文件 %1：%2。").arg(path, file.errorString());
        return out;
    }
    if (data.size() > kMaxHistoryFileBytes)
        return tooLarge();
    out = parseHistoryData(data);
    if (!out.error.isEmpty())
        out.error = QStringLiteral("%1：%2").arg(info.fileName(), out.error);
    return out;
}

} // namespace quorvex
