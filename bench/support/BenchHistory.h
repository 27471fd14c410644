#pragma once

#include "history/HistoryStore.h"

#include <QVector>

namespace quorvex::bench {

// Fills an open, empty history with the synthetic draws, in one transaction.
bool fillHistory(HistoryStore& store, int count);

// CPU time of this thread: steadier than the wall clock when other work shares the machine.
double cpuMs();

double median(QVector<double> values);

} // namespace quorvex::bench
