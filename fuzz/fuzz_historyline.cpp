// Feeds arbitrary text to the history line reader, line by line, as the import does, and checks
// what it claims about each line.
#include "draw/HistoryLine.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace quorvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    HistoryLineReader reader(2013000);
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const auto read = reader.read(line);
        const ParsedHistoryLine& p = read.parsed;
        if (p.count < 0 || p.count > kPositions || (p.moreThanFive && p.count != kPositions))
            std::abort();
        // Every number read is two digits.
        for (int i = 0; i < p.count; ++i) {
            if (p.numbers[i] < 0 || p.numbers[i] > 99)
                std::abort();
        }
        // A line read back from what it was parsed into parses the same.
        if (p.issue && historyLineCarries(*p.issue) && p.count == kPositions) {
            const ParsedHistoryLine again = parseHistoryLine(historyLine(*p.issue, p.numbers));
            if (again.issue != p.issue || again.count != kPositions || again.numbers != p.numbers)
                std::abort();
        }
    }
    return 0;
}
