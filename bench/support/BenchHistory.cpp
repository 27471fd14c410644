#include "BenchHistory.h"

#include "SyntheticHistory.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace quorvex::bench {

bool fillHistory(HistoryStore& store, int count) {
    const auto draws = syntheticHistory(count);
    HistoryStore::Transaction t(store);
    std::optional<DrawAttributes> previous;
    ZodiacYear zodiac;
    QString error;
    for (const auto& d : draws) {
        previous = store.AppendDraw(d.issue, d.numbers, d.issue, previous, {}, zodiac, &error);
        if (!previous) {
            std::fprintf(stderr, "append failed: %s\n", qPrintable(error));
            return false;
        }
    }
    return t.commit(&error);
}

bool makeHistory(HistoryStore& store, const QString& folder, int count) {
    QString error;
    if (store.open(folder, &error) && fillHistory(store, count))
        return true;
    std::fprintf(stderr, "cannot build the history: %s\n", qPrintable(error));
    return false;
}

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(QVector<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace quorvex::bench
