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
