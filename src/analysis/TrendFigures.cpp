#include "TrendFigures.h"

#include <algorithm>

namespace quorvex {

QVector<int> trendColumns() {
    QVector<int> columns;
    for (int p = 1; p <= kPositions; ++p)
        columns << HistorySnapshot::attribute(p, Number);
    return columns;
}

NumberValues numberValues(int kind, const ZodiacYear& zodiacYear, const ValueBases& bases) {
    NumberValues table{};
    // Derived as any stored draw is: the numbers 1..15 in three draws of five.
    for (int first = 1; first <= 15; first += kPositions) {
        const DrawAttributes a = deriveAttributes(
            {first, first + 1, first + 2, first + 3, first + 4}, zodiacYear, bases);
        for (int i = 0; i < kPositions; ++i)
            table[std::size_t(first + i)] = qint8(a.value[i][kind]);
    }
    return table;
}

std::array<int, kPositions> TrendFigures::drawValues(qsizetype row) const {
    std::array<int, kPositions> out{};
    for (int i = 0; i < kPositions; ++i)
        out[i] = drawn_[std::size_t(row)][i];
    return out;
}

std::optional<TrendFigures> trendFigures(const HistorySnapshot& snapshot,
                                         const TrendRequest& request, QString* error) {
    TrendFigures f;
    f.kind = request.kind;
    f.bases = request.bases;
    f.values = kindRange(request.kind, request.bases.sxIni, request.bases.dsIni);
    const int count = f.values.count();
    const auto [first, last] = snapshot.rowsBetween(request.firstIssue, request.lastIssue);
    const qsizetype rows = std::max<qsizetype>(0, last - first);
    f.issues.reserve(std::size_t(rows));
    f.cells_.resize(std::size_t(rows * count));
    f.drawn_.resize(std::size_t(rows));
    f.summary.resize(count);

    // Only the zodiac changes with the year; its number table repeats every twelve years, so
    // each of the twelve is derived once however many years the range spans.
    const bool byYear = request.kind == Zodiac;
    ZodiacYear zodiacYear;
    std::array<std::optional<NumberValues>, 12> tableOfCycle;
    NumberValues table{};
    std::array<qint64, 16> gap{}, run{};
    std::array<int, 16> drawn{};
    for (qsizetype row = 0; row < rows; ++row) {
        const qint64 issue = snapshot.issue(first + row);
        f.issues.push_back(issue);
        if (row == 0 || (byYear && zodiacYear.yearOfIssue(issue) != f.years.back().year)) {
            const int year = zodiacYear.yearOfIssue(issue);
            if (!f.years.empty())
                f.years.back().end = row;
            f.years.push_back({row, rows, year});
            auto& cached = tableOfCycle[std::size_t(((year % 12) + 12) % 12)];
            if (!cached) {
                zodiacYear.setYear(year);
                cached = numberValues(request.kind, zodiacYear, request.bases);
            }
            table = *cached;
        }
        drawn.fill(0);
        unsigned seen = 0;
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
            f.drawn_[std::size_t(row)][p - 1] = qint8(v);
            ++drawn[std::size_t(v - f.values.lo)];
        }
        qint32* cells = f.cells_.data() + row * count;
        for (int i = 0; i < count; ++i) {
            ValueTrend& s = f.summary[i];
            if (drawn[std::size_t(i)] > 0) {
                cells[i] = -drawn[std::size_t(i)];
                ++s.times;
                gap[std::size_t(i)] = 0;
                s.longestRun = std::max(s.longestRun, ++run[std::size_t(i)]);
            } else {
                cells[i] = qint32(++gap[std::size_t(i)]);
                run[std::size_t(i)] = 0;
                s.longestOmission = std::max(s.longestOmission, gap[std::size_t(i)]);
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        ValueTrend& s = f.summary[i];
        s.currentOmission = gap[std::size_t(i)];
        s.meanOmission = double(rows - s.times) / double(s.times + 1);
    }
    return f;
}

} // namespace quorvex
