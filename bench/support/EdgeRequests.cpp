#include "EdgeRequests.h"

namespace quorvex::bench {

namespace {

BenchRequest request(const HistoryView& view, const char* label, bool free, bool last, int kind,
                     int resultKind, std::array<bool, kPositions> positions) {
    SearchRequest r;
    r.bolZyw = free;
    r.bolSq = last;
    r.intPreQi = 3;
    r.intLei = kind;
    r.intXianshiLei = resultKind;
    r.bolPosSel = positions;
    r.intRefVal = view.rows().last().attributes.kindValues(kind);
    r.startIssue = view.rows().first().issue; // the first draws have no earlier draw
    r.endIssue = view.rows().last().issue;
    return {r, false, 0, QString::fromUtf8(label)};
}

} // namespace

QVector<BenchRequest> edgeRequests(const HistoryView& view, bool combination) {
    constexpr std::array<bool, kPositions> all{true, true, true, true, true};
    constexpr std::array<bool, kPositions> none{};
    QVector<BenchRequest> out;
    out << request(view, "edge free 上期 head", true, true, Head, Number, {true, true});
    // Head 0 in position 1: the draws without an earlier draw compare as 0 in fixed mode.
    BenchRequest head = request(view, "edge fixed 前3期 head 0", false, false, Head, Tail, {true});
    head.search.intRefVal[0] = 0;
    out << head;
    BenchRequest typed =
        request(view, "edge free typed 3 3 7 7 9", true, true, Number, Zodiac, all);
    typed.search.bolManual = true;
    typed.search.intRefVal = {3, 3, 7, 7, 9};
    out << typed;
    // Stored zodiacs 1..12 tallied under base 0, segments 1..5 under base 0: 12 and 5 fall out.
    BenchRequest zodiac = request(view, "edge free zodiac base 0", true, false, Zodiac, Zodiac,
                                  {false, true, true, false, false});
    zodiac.search.bases.sxIni = 0;
    out << zodiac;
    BenchRequest segment = request(view, "edge fixed segment base 0", false, true, Segment, Segment,
                                   {true, false, false, false, true});
    segment.search.bases.dsIni = 0;
    out << segment;
    BenchRequest narrow =
        request(view, "edge no position, narrow range", true, true, DigitSum, DigitSum, none);
    if (view.size() > 200) {
        narrow.search.startIssue = view.rows()[100].issue;
        narrow.search.endIssue = view.rows()[200].issue;
    }
    out << narrow;
    if (!combination)
        return out;

    // The combination search ignores the ticked positions; k runs over 1..5 (ours refuses
    // any other k with a message).
    const int ks[] = {2, 1, 3, 5, 4, 2};
    for (qsizetype i = 0; i < out.size(); ++i) {
        out[i].combination = true;
        out[i].k = ks[i % std::size(ks)];
        out[i].label += QStringLiteral(" k=%1").arg(out[i].k);
    }
    return out;
}

bool measureUntimed(const HistoryStore& store, HistorySnapshot& snapshot,
                    const MemoryHistory& memory, const QVector<BenchRequest>& requests,
                    QVector<Measured>* measured, QString* error) {
    for (const BenchRequest& b : requests) {
        const auto result = snapshotSearch(store, snapshot, b, error);
        if (!result) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(b.label, *error);
            return false;
        }
        Measured done{b, answerOf(*result), memoryPass(memory, b)};
        done.timed = false;
        *measured << done;
    }
    return true;
}

} // namespace quorvex::bench
