#pragma once

#include "draw/DrawRecord.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace quorvex {

// A history text file: one history line per draw, CR LF after each, in the order given.
QByteArray historyText(const QVector<DrawNumbers>& draws);

// Writes draws as a history text file that is complete on disk (or untouched) when this
// returns; error says why it could not be written.
bool writeHistoryTextFile(const QString& path, const QVector<DrawNumbers>& draws, QString* error);

} // namespace quorvex
