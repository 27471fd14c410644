#include "CodeTokens.h"

#include "AttributeKind.h"
#include "DrawRecord.h"

#include <string_view>

namespace quorvex {

TokenMask textTokens(QByteArrayView text, int kind) {
    TokenMask m;
    const bool twoDigits = kindUsesTwoDigits(kind);
    const ValueRange range = counterRange(kind);
    auto digit = [&](qsizetype at) {
        return at < text.size() && text[at] >= '0' && text[at] <= '9' ? text[at] - '0' : -1;
    };
    for (qsizetype x = 1; x < text.size(); ++x) {
        if (text[x] != 'X')
            continue;
        const int count = digit(x - 1);
        int value = digit(x + 1);
        if (twoDigits)
            value = value < 0 || digit(x + 2) < 0 ? -1 : value * 10 + digit(x + 2);
        if (count >= 1 && count <= kMaxTokenCount && value >= 0 && range.contains(value))
            m.set(std::size_t(tokenBit(count, value)));
    }
    if (kind == Number) {
        const std::string_view t(text.data(), std::size_t(text.size()));
        for (int v = 0; v <= 15; ++v) {
            const char pair[2] = {char('0' + v / 10), char('0' + v % 10)};
            if (t.find(std::string_view(pair, 2)) != std::string_view::npos)
                m.set(std::size_t(numberBit(v)));
        }
    }
    return m;
}

Tokens valueTokens(int kind, const std::array<int, 5>& values) {
    const ValueRange range = counterRange(kind);
    const int widest = kindUsesTwoDigits(kind) ? 15 : 9;
    std::array<int, 16> counters{};
    // The bits set in the words directly: a snapshot works this out for every row it holds.
    Tokens t;
    auto set = [&t](int bit) { t.words[std::size_t(bit / 32)] |= quint32(1) << (bit % 32); };
    for (const int v : values) {
        if (!range.contains(v))
            continue; // no piece in the text
        // A piece whose value reads otherwise than it was written: the text's own reading.
        if (v < 0 || v > widest)
            return Tokens(textTokens(codeAsciiText(kind, values).bytes(), kind));
        // Each piece is count, X, value: the value's digits are the only two side by side.
        set(tokenBit(++counters[v], v));
        if (kind == Number)
            set(numberBit(v));
    }
    return t;
}

} // namespace quorvex
