#include "ReferenceDraw.h"

#include "draw/ZodiacTables.h"

namespace quorvex {

std::optional<QString> referenceValueText(int kind, int value, int sxIni) {
    if (kind == Zodiac) {
        const QString name = strSxName(value - sxIni);
        if (name.isEmpty())
            return std::nullopt;
        return name;
    }
    return QString::number(value);
}

std::optional<qint64> issueBefore(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 issue = t.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    if (t.endsWith(QLatin1String("001"))) {
        bool yearOk = false;
        const qint64 year = t.left(4).toLongLong(&yearOk);
        if (!yearOk)
            return std::nullopt;
        return (year - 1) * 1000 + 359;
    }
    return issue - 1;
}

} // namespace quorvex
