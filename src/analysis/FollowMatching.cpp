#include "FollowMatching.h"

#include <algorithm>
#include <limits>

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

bool agreeingRows(const SearchPlan& plan, const QVector<int>& positions, int least,
                  std::vector<qsizetype>& rows) {
    const SearchRequest& r = plan.request;
    std::vector<std::pair<const qint8*, qint8>> columns;
    int zeros = 0; // reference values that agree with the 0 of a draw before the history
    for (const int p : positions) {
        const qint8* column = plan.searchBytes[std::size_t(p - 1)];
        if (!column)
            return false;
        const int v = r.intRefVal[p - 1];
        zeros += v == 0 ? 1 : 0;
        // A value no byte holds agrees with no draw.
        if (v >= std::numeric_limits<qint8>::min() && v <= std::numeric_limits<qint8>::max())
            columns.emplace_back(column, qint8(v));
    }
    const qsizetype lag = r.lag();
    const qsizetype end = plan.end;
    qsizetype row = plan.begin;
    for (; row < end && row < lag; ++row)
        if (zeros >= least)
            rows.push_back(row);
    // A block at a time, one column after another: each inner loop is a plain byte compare the
    // compiler turns into vector instructions.
    constexpr qsizetype kBlock = 512;
    std::array<quint8, kBlock> agree;
    for (; row < end; row += kBlock) {
        const qsizetype n = std::min(kBlock, end - row);
        std::fill_n(agree.begin(), n, quint8(0));
        for (const auto& [column, v] : columns) {
            const qint8* earlier = column + (row - lag);
            for (qsizetype i = 0; i < n; ++i)
                agree[std::size_t(i)] += earlier[i] == v ? 1 : 0;
        }
        for (qsizetype i = 0; i < n; ++i)
            if (agree[std::size_t(i)] >= least)
                rows.push_back(row + i);
    }
    return true;
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
