#include "FollowMatching.h"

namespace quorvex {

QByteArray freeToken(int kind, int value, int count, bool numberWithCount) {
    const QByteArray v = kindValueText(kind, value).toLatin1();
    if (kind == Number && !numberWithCount)
        return v;
    return QByteArray::number(count) + 'X' + v;
}

TokenSet::TokenSet(QByteArrayList tokens) : tokens_(std::move(tokens)) {
    for (const QByteArray& token : tokens_)
        views_.emplace_back(token.constData(), std::size_t(token.size()));
}

int TokenSet::hits(QByteArrayView text) const {
    const std::string_view t(text.data(), std::size_t(text.size()));
    int found = 0;
    for (const std::string_view& token : views_)
        found += t.find(token) != std::string_view::npos ? 1 : 0;
    return found;
}

std::optional<Tokens> referenceTokens(const SearchRequest& r, const RefValues& ref,
                                      bool combination) {
    TokenMask need;
    std::array<int, 16> counters{};
    const ValueRange range = counterRange(r.intLei);
    for (int p = 1; p <= kPositions; ++p) {
        if (!combination && !r.bolPosSel[p - 1])
            continue;
        const int v = ref[p - 1];
        if (!combination && r.intLei == Number) {
            if (v < 0 || v > 15)
                return std::nullopt;
            need.set(std::size_t(numberBit(v)));
        } else if (range.contains(v)) {
            const int count = ++counters[v];
            if (count > kMaxTokenCount)
                return std::nullopt;
            need.set(std::size_t(tokenBit(count, v)));
        } else if (!combination) {
            return std::nullopt;
        }
    }
    return Tokens(need);
}

QVector<int> searchColumns(const SearchRequest& r) {
    QVector<int> columns;
    if (r.listFollowDraws)
        columns << HistorySnapshot::kTxtHisLst;
    if (r.bolZyw)
        columns << HistorySnapshot::code(r.intLei);
    for (int p = 1; p <= kPositions; ++p) {
        if (!r.bolZyw)
            columns << HistorySnapshot::attribute(p, r.intLei);
        columns << HistorySnapshot::attribute(p, r.intXianshiLei);
    }
    return columns;
}

} // namespace quorvex
