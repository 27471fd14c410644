#include "MemoryPass.h"

#include <algorithm>

namespace quorvex::bench {

namespace {

// Reference values with how often each must occur in the earlier draw.
struct Need {
    int value;
    int times;
};

QVector<Need> needs(const SearchRequest& r, const std::array<bool, kPositions>& positions,
                    bool numbersOnce) {
    QVector<Need> out;
    for (int i = 0; i < kPositions; ++i) {
        if (!positions[i])
            continue;
        const int v = r.intRefVal[i];
        auto it = std::find_if(out.begin(), out.end(), [v](const Need& n) { return n.value == v; });
        if (it == out.end())
            out << Need{v, 1};
        else if (!numbersOnce)
            ++it->times;
    }
    return out;
}

int occurrences(const std::array<qint8, kPositions>& row, int value) {
    return int(std::count(row.begin(), row.end(), value));
}

// Walks the follow draws of the issue range: matches(earlier row or -1) decides each.
template <typename Matches>
SearchAnswer pass(const MemoryHistory& h, const SearchRequest& r, Matches matches) {
    const ValueRange range = kindRange(r.intXianshiLei, r.bases.sxIni, r.bases.dsIni);
    SearchAnswer answer;
    answer.lo = range.lo;
    answer.counts.fill(0, range.count());
    const qsizetype lag = r.bolSq ? 1 : r.intPreQi;
    const auto first = std::lower_bound(h.issues.begin(), h.issues.end(), r.startIssue);
    const auto last = std::upper_bound(h.issues.begin(), h.issues.end(), r.endIssue);
    for (qsizetype j = first - h.issues.begin(); j < last - h.issues.begin(); ++j) {
        if (!matches(j >= lag ? j - lag : -1))
            continue;
        ++answer.followDraws;
        for (const int v : h.values[j][r.intXianshiLei])
            if (range.contains(v))
                ++answer.counts[v - range.lo];
    }
    return answer;
}

} // namespace

MemoryHistory MemoryHistory::fromView(const HistoryView& view) {
    MemoryHistory h;
    h.issues.reserve(view.size());
    h.values.reserve(view.size());
    for (const StoredDraw& d : view.rows()) {
        h.issues << d.issue;
        Row row{};
        for (int k = 0; k < kKindCount; ++k)
            for (int i = 0; i < kPositions; ++i)
                row[k][i] = qint8(d.attributes.value[i][k]);
        h.values << row;
    }
    return h;
}

SearchAnswer followPass(const MemoryHistory& h, const SearchRequest& r) {
    const int kind = r.intLei;
    if (r.bolZyw) {
        // Numbers never repeat within a draw: one occurrence stands for any repetition.
        const QVector<Need> need = needs(r, r.bolPosSel, kind == Number);
        return pass(h, r, [&](qsizetype earlier) {
            if (earlier < 0)
                return need.isEmpty();
            const auto& row = h.values[earlier][kind];
            return std::all_of(need.begin(), need.end(),
                               [&](const Need& n) { return occurrences(row, n.value) >= n.times; });
        });
    }
    return pass(h, r, [&](qsizetype earlier) {
        for (int i = 0; i < kPositions; ++i) {
            const int v = earlier >= 0 ? h.values[earlier][kind][i] : 0;
            if (r.bolPosSel[i] && v != r.intRefVal[i])
                return false;
        }
        return true;
    });
}

SearchAnswer combinationPass(const MemoryHistory& h, const SearchRequest& r, int k) {
    const int kind = r.intLei;
    if (k < 1 || k > kPositions)
        return pass(h, r, [](qsizetype) { return false; });
    if (r.bolZyw) {
        // Some group of k reference values, repetitions counted, lies in the earlier draw
        // exactly when the two multisets share at least k values.
        const QVector<Need> need = needs(r, {true, true, true, true, true}, false);
        return pass(h, r, [&](qsizetype earlier) {
            if (earlier < 0)
                return false;
            const auto& row = h.values[earlier][kind];
            int shared = 0;
            for (const Need& n : need)
                shared += std::min(n.times, occurrences(row, n.value));
            return shared >= k;
        });
    }
    // Some group of k positions agrees exactly when at least k positions agree.
    return pass(h, r, [&](qsizetype earlier) {
        int agree = 0;
        for (int i = 0; i < kPositions; ++i)
            agree += (earlier >= 0 ? h.values[earlier][kind][i] : 0) == r.intRefVal[i];
        return agree >= k;
    });
}

} // namespace quorvex::bench
