#include "ArgumentValues.h"

#include <QDir>

namespace quorvex::cli {

std::optional<qint64> plainNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
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
