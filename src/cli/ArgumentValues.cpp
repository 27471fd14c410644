#include "ArgumentValues.h"

#include <QDir>

#include <algorithm>

namespace quorvex::cli {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool allDigits(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isDigit);
}

} // namespace

std::optional<qint64> plainNumber(const QString& text) {
    // 18 digits always fit a qint64.
    if (text.size() > 18 || !allDigits(text))
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : text)
        value = value * 10 + (c.unicode() - '0');
    return value;
}

std::optional<qint64> plainIssue(const QString& text) {
    if (text.size() != 7 || text.front() == QLatin1Char('0'))
        return std::nullopt;
    return plainNumber(text);
}

std::optional<double> plainSeconds(const QString& text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QStringView whole = QStringView(text).left(point < 0 ? text.size() : point);
    if (text.size() > 18 || !allDigits(whole) ||
        (point >= 0 && !allDigits(QStringView(text).mid(point + 1))))
        return std::nullopt;
    return text.toDouble();
}

std::optional<QDate> plainDate(const QString& text) {
    const QStringView t(text);
    if (t.size() != 10 || t[4] != QLatin1Char('-') || t[7] != QLatin1Char('-') ||
        !allDigits(t.left(4)) || !allDigits(t.mid(5, 2)) || !allDigits(t.mid(8, 2)))
        return std::nullopt;
    const QDate date(t.left(4).toInt(), t.mid(5, 2).toInt(), t.mid(8, 2).toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<qint64> numberArgument(const QString& text, const QString& what, qint64 minimum,
                                     qint64 maximum, Context& context) {
    const auto value = plainNumber(text);
    if (value && *value >= minimum && *value <= maximum)
        return value;
    context.usage(QStringLiteral("%1 takes a whole number from %2 to %3 in plain digits, not '%4'")
                      .arg(what)
                      .arg(minimum)
                      .arg(maximum)
                      .arg(text));
    return std::nullopt;
}

std::optional<qint64> positiveArgument(const QString& text, const QString& what, Context& context) {
    const auto value = plainNumber(text);
    if (value && *value > 0)
        return value;
    context.usage(QStringLiteral("%1 takes a positive whole number in plain digits, not '%2'")
                      .arg(what, text));
    return std::nullopt;
}

std::optional<qint64> issueArgument(const QString& text, const QString& what, Context& context) {
    const auto issue = plainIssue(text);
    if (!issue)
        context.usage(QStringLiteral("%1 takes a seven-digit issue such as 2013045, not '%2'")
                          .arg(what, text));
    return issue;
}

std::optional<double> secondsArgument(const QString& text, const QString& what, double minimum,
                                      double maximum, Context& context) {
    const auto seconds = plainSeconds(text);
    if (seconds && *seconds >= minimum && *seconds <= maximum)
        return seconds;
    context.usage(QStringLiteral("%1 takes seconds from %2 to %3 written as digits with an "
                                 "optional decimal point, not '%4'")
                      .arg(what)
                      .arg(minimum)
                      .arg(maximum)
                      .arg(text));
    return std::nullopt;
}

std::optional<QDate> dateArgument(const QString& text, const QString& what, Context& context) {
    const auto date = plainDate(text);
    if (!date)
        context.usage(QStringLiteral("%1 takes a date YYYY-MM-DD, not '%2'").arg(what, text));
    return date;
}

std::optional<QString> outputFileArgument(const QString& text, const QString& what,
                                          Context& context) {
    const bool endsInSeparator =
        text.endsWith(QLatin1Char('/')) || text.endsWith(QDir::separator());
    // What may be written over (not a folder, not the history) the export itself decides.
    if (text.isEmpty() || endsInSeparator) {
        context.usage(QStringLiteral(
                          "%1 '%2' names no file (empty or ending in a separator); nothing written")
                          .arg(what, text));
        return std::nullopt;
    }
    return QDir().absoluteFilePath(text);
}

} // namespace quorvex::cli
