#pragma once

#include "HistoryConnection.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvex {

// The first of names that is a table of the file; an empty name where none is, nothing where the
// file could not be read.
std::optional<QString> existingTable(const HistoryConnection& store, const QStringList& names,
                                     QString* error);

// The tables of earlier names that a writer renames: each whose name of today is not taken.
std::optional<QList<QPair<QString, QString>>> pendingRenames(const HistoryConnection& store,
                                                             QString* error);

// Earlier versions named the tables of steps and of the mark in pinyin. A connection that may
// write renames them to today's names when it opens the file: in one transaction, the mark moved
// on to the state the rename leaves, and every verdict kept for the file carried over, since no
// row changes. Fails (nothing changed) only where the file could not be written.
bool renameEarlierTables(HistoryConnection& store, QString* error);

} // namespace quorvex
