#pragma once

#include "HistoryStore.h"

#include <QString>

#include <optional>

namespace quorvex {

// Whether the stored zodiac and segment values of every draw are the ones its numbers give
// under the current bases and zodiac cut-offs. They are not after a change of a base, a file
// made elsewhere, or a history stored with older cut-offs: names of one base would then be
// shown over values of another, and the history must be derived afresh (the rebuild).
struct HistoryFit {
    qint64 draws = 0;
    qint64 zodiacMisfits = 0; // draws with a stored zodiac value that differs
    qint64 segmentMisfits = 0;
    std::optional<qint64> firstZodiacMisfit; // the earliest such issue
    std::optional<qint64> firstSegmentMisfit;

    bool fits() const { return zodiacMisfits == 0 && segmentMisfits == 0; }
    // Whether a search or tally that reads this kind would read values that do not fit.
    bool misfitsKind(int kind) const;
    // In Chinese: which values do not fit the bases and from which issue on; empty when all fit.
    // The front end adds how to re-derive the history.
    QString describe(const ValueBases& bases) const;
};

// A fit as a verdict kept for the file (CheckVerdicts), under its topic, and read back.
QString historyFitTopic(const ValueBases& bases);
QString historyFitVerdict(const HistoryFit& fit);
std::optional<HistoryFit> historyFitFrom(const QString& verdict);

// Reads the numbers, zodiac and segment values of every draw (one pass, 16 columns) and
// derives them afresh. Nothing and the reason when the history cannot be read.
std::optional<HistoryFit> checkHistoryFit(const HistoryStore& store, const ValueBases& bases,
                                          QString* error);

} // namespace quorvex
