// The follow question answered as plainly as C++ and SQLite's C API allow, as the floor of the
// CLI's whole-process time: one read of the columns the request needs, one tally.
//
// Usage: follow_floor DATABASE KIND RESULT_KIND FREE LAG POSITIONS V1,V2,V3,V4,V5 START END LO HI
// POSITIONS: the ticked positions as digits ("13" for 1 and 3). Prints the follow draws, then the
// count of each result value from LO to HI, on one line.
#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const kLetters = "ABEFGH";

} // namespace

int main(int argc, char** argv) {
    if (argc != 12) {
        std::fprintf(stderr, "usage: follow_floor DATABASE KIND RESULT_KIND FREE LAG POSITIONS "
                             "V1,V2,V3,V4,V5 START END LO HI\n");
        return 2;
    }
    const int kind = std::atoi(argv[2]);
    const int resultKind = std::atoi(argv[3]);
    const bool free = std::atoi(argv[4]) != 0;
    const long lag = std::atol(argv[5]);
    std::vector<int> ticked;
    for (const char* p = argv[6]; *p; ++p)
        ticked.push_back(*p - '1');
    std::array<int, 5> ref{};
    std::sscanf(argv[7], "%d,%d,%d,%d,%d", &ref[0], &ref[1], &ref[2], &ref[3], &ref[4]);
    const long long start = std::atoll(argv[8]), end = std::atoll(argv[9]);
    const int lo = std::atoi(argv[10]), hi = std::atoi(argv[11]);

    std::string sql = "SELECT SQQH";
    for (const int k : {kind, resultKind})
        for (int p = 1; p <= 5; ++p)
            sql += ",L" + std::to_string(p) + kLetters[k];
    sql += " FROM Lishi ORDER BY SQQH";
    sqlite3* db = nullptr;
    sqlite3_stmt* q = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return 1;
    }
    std::vector<long long> issues;
    std::vector<std::array<int, 5>> values, results;
    while (sqlite3_step(q) == SQLITE_ROW) {
        issues.push_back(sqlite3_column_int64(q, 0));
        std::array<int, 5> v{}, r{};
        for (int p = 0; p < 5; ++p) {
            v[p] = sqlite3_column_int(q, 1 + p);
            r[p] = sqlite3_column_int(q, 6 + p);
        }
        values.push_back(v);
        results.push_back(r);
    }
    sqlite3_finalize(q);
    sqlite3_close(db);

    // Free: each ticked value as often as it is ticked (numbers once), anywhere in the draw.
    std::array<int, 64> need{};
    for (const int p : ticked)
        if (ref[p] >= 0 && ref[p] < 64)
            need[ref[p]] = kind == 0 ? 1 : need[ref[p]] + 1;
    const std::array<int, 5> none{};
    auto matches = [&](long earlier) {
        if (earlier < 0 && free)
            return ticked.empty();
        const auto& row = earlier < 0 ? none : values[earlier];
        if (!free) {
            for (const int p : ticked)
                if (row[p] != ref[p])
                    return false;
            return true;
        }
        for (const int p : ticked) {
            int held = 0;
            for (const int v : row)
                held += v == ref[p] ? 1 : 0;
            if (held < need[ref[p]])
                return false;
        }
        return true;
    };
    std::vector<long long> counts(hi - lo + 1, 0);
    long long followDraws = 0;
    for (long j = 0; j < long(issues.size()); ++j) {
        if (issues[j] < start || issues[j] > end || !matches(j >= lag ? j - lag : -1))
            continue;
        ++followDraws;
        for (const int v : results[j])
            if (v >= lo && v <= hi)
                ++counts[v - lo];
    }
    std::printf("%lld", followDraws);
    for (const long long c : counts)
        std::printf(" %lld", c);
    std::printf("\n");
    return 0;
}
