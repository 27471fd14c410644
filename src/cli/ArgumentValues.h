#pragma once

#include "Command.h"

#include <optional>

namespace quorvex::cli {

// Values named on the command line, checked before anything is opened.

// A whole number written in decimal digits only (no sign, blank or prefix; at most 18 digits),
// or nothing.
std::optional<qint64> plainNumber(const QString& text);

// The absolute path of the output file named by text, or nothing after a usage error: an empty
// name or a name ending in a separator names no file. what names the argument in the message.
std::optional<QString> outputFileArgument(const QString& text, const QString& what,
                                          Context& context);

} // namespace quorvex::cli
