#pragma once

#include <QString>
#include <QVector>

#include <array>

namespace quorvex::bench {

struct SyntheticDraw {
    qint64 issue;
    std::array<int, 5> numbers;
};

// A deterministic history of daily draws from 2001001 on: five distinct numbers of 1..15,
// 365 issues a year. The same seed always gives the same draws.
QVector<SyntheticDraw> syntheticHistory(int count, quint32 seed = 20130045);

// The draws as history text lines ("2013001 03 07 09 11 14 ", CR LF).
QByteArray syntheticHistoryText(const QVector<SyntheticDraw>& draws);

// Writes syntheticHistory(count, seed) as a history text file; false, said on stderr, when it
// cannot.
bool writeSyntheticHistoryFile(const QString& path, int count, quint32 seed = 20130045);

} // namespace quorvex::bench
