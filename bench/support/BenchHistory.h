#pragma once

#include "store/HistoryStore.h"

#include <QVector>

namespace quorvex::bench {

// Fills an open, empty history with the synthetic draws, in one transaction.
bool fillHistory(HistoryStore& store, int count);

// Opens a new history in folder and fills it with count synthetic draws; false after a message
// on stderr.
bool makeHistory(HistoryStore& store, const QString& folder, int count);

// CPU time of this thread: steadier than the wall clock when other work shares the machine.
double cpuMs();

double median(QVector<double> values);

} // namespace quorvex::bench
