#include "ResultsPage.h"

#include <bitset>

namespace quorvex {

namespace {

const QString kResultsPath =
    QStringLiteral("/kaijiang/xw?lotId=223515&chartType=zhfb&spanType=3&span=");

QString issueText(int year, int sequence) {
    return QStringLiteral("%1%2").arg(year).arg(sequence, 3, 10, QLatin1Char('0'));
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The five numbers of the draw whose issue starts at p; nothing when one is not a number.
std::optional<Numbers> readNumbers(const QString& text, qsizetype p) {
    Numbers n{};
    for (int i = 1; i <= kPositions; ++i) {
        const qsizetype at = p + 17 + 3 * i;
        if (at + 2 > text.size())
            return std::nullopt;
        const QStringView two = QStringView(text).sliced(at, 2).trimmed();
        if (two.isEmpty() || !std::all_of(two.begin(), two.end(), isAsciiDigit))
            return std::nullopt;
        n[i - 1] = two.toInt();
    }
    return n;
}

bool drawnAt(const QString& text, qsizetype p) {
    return p + 20 < text.size() && isAsciiDigit(text[p + 20]);
}

// The greatest sequence number whose issue's first occurrence has a digit where the first number
// belongs, in one pass over the text: every occurrence of the year followed by three digits.
int lastListedSequence(const QString& text, int year) {
    const QString y = QString::number(year);
    std::bitset<kLastSequence + 1> seen;
    int last = 0;
    for (qsizetype p = text.indexOf(y); p >= 0; p = text.indexOf(y, p + 1)) {
        const qsizetype at = p + y.size();
        if (at + 3 > text.size())
            break;
        const QStringView digits = QStringView(text).sliced(at, 3);
        if (!std::all_of(digits.begin(), digits.end(), isAsciiDigit))
            continue;
        const int s = digits.toInt();
        if (s < 1 || s > kLastSequence || seen[s])
            continue;
        seen[s] = true;
        if (drawnAt(text, p))
            last = std::max(last, s);
    }
    return last;
}

} // namespace

std::optional<QUrl> resultsPageUrl(const QString& baseAddress, int year, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QString base = baseAddress.trimmed();
    if (base.isEmpty())
        return fail(QStringLiteral("没有设置开奖结果服务器的地址。"));
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl baseUrl(base, QUrl::StrictMode);
    const QString scheme = baseUrl.scheme().toLower();
    if (!baseUrl.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        baseUrl.host().isEmpty() || baseUrl.hasQuery() || baseUrl.hasFragment())
        return fail(QStringLiteral("开奖结果服务器的地址“%1”不是 http 或 https 网址。")
                        .arg(baseAddress.trimmed()));
    const QString y = QString::number(year);
    const QString span = y + QStringLiteral("001_") + y + QStringLiteral("365");
    const QUrl url(base + kResultsPath + span, QUrl::StrictMode);
    if (!url.isValid())
        return fail(QStringLiteral("开奖结果服务器的地址“%1”无效。").arg(baseAddress.trimmed()));
    return url;
}

YearScan scanResultsText(const QString& text, int year, int firstSequence,
                         const std::optional<QString>& limit) {
    YearScan scan;
    scan.lastListed = lastListedSequence(text, year);
    for (int s = std::max(firstSequence, 1); s <= kLastSequence; ++s) {
        const QString issue = issueText(year, s);
        const qint64 number = qint64(year) * 1000 + s;
        auto end = [&](YearScan::End why) {
            scan.end = why;
            scan.endIssue = number;
            return scan;
        };
        const qsizetype p = text.indexOf(issue);
        if (p < 0)
            return end(YearScan::End::MissingIssue);
        if (limit && issue <= *limit)
            return end(YearScan::End::ReachedLimit);
        if (!drawnAt(text, p))
            return end(YearScan::End::NotDrawn);
        const auto numbers = readNumbers(text, p);
        if (!numbers || !drawFaults(*numbers).isEmpty())
            return end(YearScan::End::InvalidNumbers);
        scan.draws.append({number, *numbers});
    }
    scan.end = YearScan::End::PastLastSequence;
    return scan;
}

bool isNotAResultsPage(const QString& text, const YearScan& scan) {
    return scan.lastListed == 0 &&
           !(text.contains(QStringLiteral("期号")) && text.contains(QStringLiteral("开奖号码")));
}

} // namespace quorvex
