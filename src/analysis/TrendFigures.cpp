#include "TrendFigures.h"

#include <algorithm>
#include <bit>

namespace quorvex {

QVector<int> trendColumns() {
    QVector<int> columns;
    for (int p = 1; p <= kPositions; ++p)
        columns << HistorySnapshot::attribute(p, Number);
    return columns;
}

std::array<int, kPositions> TrendFigures::drawValues(qsizetype row) const {
    std::array<int, kPositions> out{};
    for (int i = 0; i < kPositions; ++i)
        out[i] = drawn_[std::size_t(row)][i];
    return out;
}

int TrendFigures::drawnCount(qsizetype row, int value) const {
    const auto& drawn = drawn_[std::size_t(row)];
    return int(std::count(drawn.begin(), drawn.end(), qint8(values.lo + value)));
}

qint64 TrendFigures::omission(qsizetype row, int value) const {
    const auto& rows = cameAt_[std::size_t(value)];
    const auto after = std::upper_bound(rows.begin(), rows.end(), qint32(row));
    return after == rows.begin() ? row + 1 : row - *(after - 1);
}

std::optional<TrendFigures> trendFigures(const HistorySnapshot& snapshot,
                                         const TrendRequest& request, QString* error,
                                         ZodiacYear* knownYears) {
    TrendFigures f;
    f.kind = request.kind;
    f.bases = request.bases;
    f.values = kindRange(request.kind, request.bases.sxIni, request.bases.dsIni);
    const int count = f.values.count();
    const auto [first, last] = snapshot.rowsBetween(request.firstIssue, request.lastIssue);
    const qsizetype rows = std::max<qsizetype>(0, last - first);
    f.issues.reserve(std::size_t(rows));
    f.drawn_.resize(std::size_t(rows));
    f.summary.resize(count);

    // Only the zodiac changes with the year; its number table repeats every twelve years, so
    // each of the twelve is derived once however many years the range spans.
    const bool byYear = request.kind == Zodiac;
    ZodiacYear ownYears;
    ZodiacYear& years = knownYears ? *knownYears : ownYears;
    ZodiacYear zodiacYear;
    std::array<std::optional<NumberValues>, 12> tableOfCycle;
    qint64 gregorianYear = 0; // of the row before
    NumberValues table{};
    // First each row's values and the set of them as bits, then per value the rows that gave
    // it, then the summary from those rows alone: tight passes with few branches.
    constexpr int kLanes = 16; // every kind has at most 16 values
    std::vector<quint16> cameIn(static_cast<std::size_t>(rows));
    std::array<qint64, kLanes> times{};
    for (qsizetype row = 0; row < rows; ++row) {
        const qint64 issue = snapshot.issue(first + row);
        f.issues.push_back(issue);
        // Within a calendar year the zodiac year only steps up once, at the lunar new year: after
        // that step the rest of the calendar year needs no look-up.
        const bool settled = row > 0 && (!byYear || (issue / 1000 == f.years.back().year &&
                                                     f.years.back().year == gregorianYear));
        const int year = settled ? f.years.back().year : years.yearOfIssue(issue);
        gregorianYear = issue / 1000;
        if (row == 0 || year != f.years.back().year) {
            if (!f.years.empty())
                f.years.back().end = row;
            f.years.push_back({row, rows, year});
            auto& cached = tableOfCycle[std::size_t(zodiacCycle(year))];
            if (!cached) {
                zodiacYear.setYear(year);
                cached = numberValues(request.kind, zodiacYear, request.bases);
            }
            table = *cached;
        }
        unsigned seen = 0, came = 0;
        auto& drawn = f.drawn_[std::size_t(row)];
        for (int p = 1; p <= kPositions; ++p) {
            const int n = snapshot.value(HistorySnapshot::attribute(p, Number), first + row);
            if (n < 1 || n > 15 || (seen & (1u << n))) {
                if (error)
                    *error = QStringLiteral("第 %1 期的号码不是 1 至 15 中五个不同的数，"
                                            "无法统计走势；请检查或重新导入历史号码。")
                                 .arg(issue);
                return std::nullopt;
            }
            seen |= 1u << n;
            const int v = table[std::size_t(n)];
            drawn[p - 1] = qint8(v);
            came |= 1u << (v - f.values.lo);
        }
        cameIn[std::size_t(row)] = quint16(came);
        for (unsigned bits = came; bits; bits &= bits - 1)
            ++times[std::size_t(std::countr_zero(bits))];
    }
    f.cameAt_.resize(std::size_t(count));
    std::array<qint32*, kLanes> next{};
    for (int i = 0; i < count; ++i) {
        f.cameAt_[std::size_t(i)].resize(std::size_t(times[std::size_t(i)]));
        next[std::size_t(i)] = f.cameAt_[std::size_t(i)].data();
    }
    for (qsizetype row = 0; row < rows; ++row)
        for (unsigned bits = cameIn[std::size_t(row)]; bits; bits &= bits - 1)
            *next[std::size_t(std::countr_zero(bits))]++ = qint32(row);
    for (int i = 0; i < count; ++i) {
        const auto& cameAt = f.cameAt_[std::size_t(i)];
        ValueTrend& s = f.summary[i];
        qint64 before = -1, run = 0; // the row that last gave the value, and the run it ends
        for (const qint32 row : cameAt) {
            s.longestOmission = std::max(s.longestOmission, row - before - 1);
            run = row == before + 1 ? run + 1 : 1;
            s.longestRun = std::max(s.longestRun, run);
            before = row;
        }
        s.times = qint64(cameAt.size());
        s.currentOmission = rows - 1 - before;
        s.longestOmission = std::max(s.longestOmission, s.currentOmission);
        s.meanOmission = double(rows - s.times) / double(s.times + 1);
    }
    return f;
}

} // namespace quorvex
