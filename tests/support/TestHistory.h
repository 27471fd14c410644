#pragma once

#include "HistoryView.h"

#include "store/HistoryStore.h"

#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

namespace quorvex::test {

// Points the per-user settings store at a private folder, so no test touches the user's own.
void isolateSettings(const QString& folder);

// Every column of every row of the history table, in issue order: "unchanged" means exactly this.
using TableRows = QList<QVariantList>;
TableRows tableRows(const HistoryStore& store);
// The stored issues in order.
QVector<qint64> storedIssues(const HistoryStore& store);

// A history in a fresh temporary folder, with helpers to append draws as the importers do.
class TempHistory {
public:
    TempHistory();
    QString folder() const { return dir_.path(); }
    HistoryStore& store() { return store_; }

    // Appends draws in order, each chained to the one before (the first to the stored last).
    void append(qint64 issue, const Numbers& numbers, const ValueBases& bases = {});
    void appendMany(qint64 firstIssue, const QVector<Numbers>& draws, const ValueBases& bases = {});

    // One text column of the row of an issue.
    QString text(qint64 issue, const QString& column);
    int integer(qint64 issue, const QString& column);

private:
    QTemporaryDir dir_;
    HistoryStore store_;
};

} // namespace quorvex::test
