#include "CommittedVerdicts.h"

#include "store/CheckVerdicts.h"
#include "store/HistoryFit.h"
#include "store/HistorySnapshot.h"
#include "store/SqliteStatement.h"

namespace quorvex {

void carryVerdicts(const HistoryStore& store, const QMap<QString, QString>& before,
                   quint32 committed, const CommittedChange& change) {
    // A shared lock while the state is noted: a writer can commit neither before the counter is
    // read nor between it and the file's times.
    const HistoryStore::ReadSnapshot pinned(store);
    if (!takeSharedLock(store) || fileChangeCounter(store) != committed)
        return;
    QMap<QString, QString> after;
    if (change.sameRows) {
        after = before;
        after.remove(derivedRowsTopic());
    } else {
        // Pages written through SQLite are as sound as those it kept.
        const QString pages = HistoryConnection::pagesTopic();
        if (before.value(pages) == QLatin1String("ok"))
            after.insert(pages, QStringLiteral("ok"));
        // Code texts: each row the writers write holds the texts its draw before gives.
        const bool rowsDerived =
            change.left == RowsLeft::Appended || change.left == RowsLeft::EndRemoved;
        for (int kind = 0; kind < kKindCount; ++kind) {
            const QString topic = HistorySnapshot::codesTopic(kind);
            if (change.left == RowsLeft::WrittenWhole ||
                (rowsDerived && before.value(topic) == QLatin1String("derived")))
                after.insert(topic, QStringLiteral("derived"));
        }
        // The fit of the writers' bases: every row written fits them, appended rows add to it.
        if (change.bases) {
            const QString topic = historyFitTopic(basesOfIndex(*change.bases));
            if (change.left == RowsLeft::WrittenWhole && change.rowsWritten >= 0) {
                HistoryFit fit;
                fit.draws = change.rowsWritten;
                after.insert(topic, historyFitVerdict(fit));
            } else if (change.left == RowsLeft::Appended) {
                if (auto fit = historyFitFrom(before.value(topic))) {
                    fit->draws += change.rowsAppended;
                    after.insert(topic, historyFitVerdict(*fit));
                }
            }
        }
    }
    if (change.mark)
        after.insert(derivedRowsTopic(), derivedRowsVerdict(*change.mark));
    CheckVerdicts(store).keepOnly(after);
}

void carryOverOwnCommit(const HistoryStore& store, const DerivedRowsMark& mark,
                        const QMap<QString, QString>& before, CommittedChange change,
                        const LeftMark& left) {
    if (!mark.counter)
        return;
    if (left.kept)
        change.mark = left.bases;
    carryVerdicts(store, before, *mark.counter + 1, change);
}

} // namespace quorvex
