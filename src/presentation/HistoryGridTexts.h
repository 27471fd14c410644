#pragma once

#include "draw/DrawRecord.h"

#include <QStringList>
#include <QVector>

namespace quorvex {

// The history grid MSFlexGrid1 as texts: 期号, 第1码..第5码, then one row per draw with the
// issue and the numbers in plain decimal, oldest first.
QStringList historyGridHeader();
QVector<QStringList> historyGridRows(const QVector<DrawNumbers>& draws);

} // namespace quorvex
