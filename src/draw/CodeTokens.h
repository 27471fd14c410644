#pragma once

#include <QByteArrayView>

#include <array>
#include <bit>
#include <bitset>

namespace quorvex {

// Every token a free-mode search can look for in a code text, as one bit: count c (1..5) with
// value v (0..15), or, for the number kind, the two digits of v alone (found anywhere in the text).
using TokenMask = std::bitset<96>;
constexpr int kMaxTokenCount = 5;

constexpr int tokenBit(int count, int value) {
    return (count - 1) * 16 + value;
}
constexpr int numberBit(int value) {
    return 80 + value;
}

// The tokens a code text of the kind holds, each exactly when a substring test finds it there;
// the bare two-digit tokens only for the number kind.
TokenMask textTokens(QByteArrayView text, int kind);

struct Tokens;
// The tokens of the code text that a draw's five values of the kind give the draw after it
// (codeAsciiText), worked out from the values without writing the text.
Tokens valueTokens(int kind, const std::array<int, 5>& values);

// A token set in three words (twelve bytes a row), for the searches' inner loops.
struct Tokens {
    std::array<quint32, 3> words{};
    Tokens() = default;
    explicit Tokens(const TokenMask& m) {
        for (std::size_t w = 0; w < words.size(); ++w)
            words[w] = quint32(((m >> (32 * w)) & TokenMask(0xffffffffULL)).to_ulong());
    }
    bool holds(const Tokens& need) const {
        return (words[0] & need.words[0]) == need.words[0] &&
               (words[1] & need.words[1]) == need.words[1] &&
               (words[2] & need.words[2]) == need.words[2];
    }
    int common(const Tokens& need) const {
        return std::popcount(words[0] & need.words[0]) + std::popcount(words[1] & need.words[1]) +
               std::popcount(words[2] & need.words[2]);
    }
};

} // namespace quorvex
