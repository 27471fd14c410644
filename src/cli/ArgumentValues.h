#pragma once

#include "Command.h"

#include <QDate>

#include <optional>

namespace quorvex::cli {

// Values named on the command line, checked before anything is opened. Every command reads its
// numbers, issues, seconds and dates here, so that one written form holds everywhere: plain ASCII
// digits, with no sign, blank, prefix, exponent or fraction; seconds may add one point and
// digits; a date is YYYY-MM-DD.

// A whole number in plain digits (at most 18), or nothing.
std::optional<qint64> plainNumber(const QString& text);
// A seven-digit issue in plain digits, not starting with 0, or nothing.
std::optional<qint64> plainIssue(const QString& text);
// Seconds written as digits, optionally followed by a point and digits, or nothing.
std::optional<double> plainSeconds(const QString& text);
// A real date written YYYY-MM-DD, or nothing.
std::optional<QDate> plainDate(const QString& text);

// The same, or nothing after one usage error that names what (the option or argument) and the
// text. A number must also lie within minimum..maximum.
std::optional<qint64> numberArgument(const QString& text, const QString& what, qint64 minimum,
                                     qint64 maximum, Context& context);
std::optional<qint64> positiveArgument(const QString& text, const QString& what, Context& context);
std::optional<qint64> issueArgument(const QString& text, const QString& what, Context& context);
std::optional<double> secondsArgument(const QString& text, const QString& what, double minimum,
                                      double maximum, Context& context);
std::optional<QDate> dateArgument(const QString& text, const QString& what, Context& context);

// The absolute path of the output file named by text, or nothing after a usage error: an empty
// name or a name ending in a separator names no file. what names the argument in the message.
std::optional<QString> outputFileArgument(const QString& text, const QString& what,
                                          Context& context);

} // namespace quorvex::cli
