#include "AttributeKind.h"

namespace quorvex {

namespace {
const std::array<const char*, kKindCount> kLetters = {"A", "B", "E", "F", "G", "H"};
const std::array<const char*, kKindCount> kSuffixes = {"Hm", "Sx", "Tou", "Wei", "He", "Ds"};
const std::array<const char*, kKindCount> kCaptions = {"号码", "生肖", "头数",
                                                       "尾数", "合数", "段数"};
const std::array<const char*, kKindCount> kCliNames = {"number", "zodiac", "head",
                                                       "tail",   "sum",    "segment"};
} // namespace

QString strKindLetter(int kind) {
    return QString::fromLatin1(kLetters.at(kind));
}

QString listSuffix(int kind) {
    return QString::fromLatin1(kSuffixes.at(kind));
}

QString kindCaption(int kind) {
    return QString::fromUtf8(kCaptions.at(kind));
}

bool kindUsesTwoDigits(int kind) {
    return kind == Number || kind == Zodiac || kind == DigitSum;
}

QString kindValueText(int kind, int value) {
    if (kindUsesTwoDigits(kind) && value >= 0)
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    return QString::number(value);
}

ValueRange kindRange(int kind, int sxIni, int dsIni) {
    switch (kind) {
    case Number:
        return {1, 15};
    case Zodiac:
        return {sxIni, sxIni + 11};
    case Head:
        return {0, 1};
    case Tail:
        return {0, 9};
    case DigitSum:
        return {1, 9};
    default:
        return {dsIni, dsIni + 4};
    }
}

ValueRange counterRange(int kind) {
    switch (kind) {
    case Number:
        return {0, 15};
    case Zodiac:
        return {0, 12};
    case Head:
        return {0, 1};
    case Tail:
        return {0, 9};
    case DigitSum:
        return {1, 9};
    default:
        return {0, 5};
    }
}

QString attributeColumn(int position, int kind) {
    return QStringLiteral("L%1%2").arg(position).arg(strKindLetter(kind));
}

QString laggedColumn(int position, int kind, QChar suffix) {
    return attributeColumn(position, kind) + suffix;
}

QString codeColumn(int kind) {
    return QStringLiteral("txtHisLst") + listSuffix(kind);
}

QString preCodeColumn(int kind) {
    return QStringLiteral("txtHisPreLst") + listSuffix(kind);
}

int parseKind(const QString& text) {
    const QString t = text.trimmed().toLower();
    for (int k = 0; k < kKindCount; ++k) {
        if (t == QLatin1String(kCliNames[k]) || t == QString::number(k))
            return k;
    }
    return -1;
}

} // namespace quorvex
