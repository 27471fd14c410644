#include "SyntheticHistory.h"

#include <QFile>

#include <cstdio>

namespace quorvex::bench {

QVector<SyntheticDraw> syntheticHistory(int count, quint32 seed) {
    QVector<SyntheticDraw> draws;
    draws.reserve(count);
    quint32 state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    int year = 2001, seq = 1;
    for (int d = 0; d < count; ++d) {
        std::array<int, 15> pool{};
        for (int i = 0; i < 15; ++i)
            pool[i] = i + 1;
        SyntheticDraw draw{qint64(year) * 1000 + seq, {}};
        for (int i = 0; i < 5; ++i) {
            const int j = i + int(next() % quint32(15 - i));
            std::swap(pool[i], pool[j]);
            draw.numbers[i] = pool[i];
        }
        draws.append(draw);
        if (++seq > 365) {
            seq = 1;
            ++year;
        }
    }
    return draws;
}

QByteArray syntheticHistoryText(const QVector<SyntheticDraw>& draws) {
    QByteArray out;
    out.reserve(draws.size() * 25);
    for (const auto& d : draws) {
        out += QByteArray::number(d.issue);
        out += ' ';
        for (int n : d.numbers) {
            out += char('0' + n / 10);
            out += char('0' + n % 10);
            out += ' ';
        }
        out += "\r\n";
    }
    return out;
}

bool writeSyntheticHistoryFile(const QString& path, int count, quint32 seed) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(syntheticHistoryText(syntheticHistory(count, seed))) >= 0 && file.flush())
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace quorvex::bench
