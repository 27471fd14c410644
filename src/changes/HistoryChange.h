#pragma once

#include "ChangeSteps.h"
#include "CommittedVerdicts.h"
#include "DerivedRowsMark.h"

#include <QString>

#include <optional>

namespace quorvex {

// The sentence a change that was refused or failed ends with: nothing was written.
inline QString historyUnchanged() {
    return QStringLiteral("历史号码未作改动。");
}

// A reason as a sentence of its own: its full stop added where it has none, so that the next
// sentence does not run on from it.
inline QString asSentence(const QString& why) {
    return why.isEmpty() || why.endsWith(QChar(u'。')) || why.endsWith(QChar(u'？')) ||
                   why.endsWith(QChar(u'！'))
               ? why
               : why + QChar(u'。');
}

// One change of the stored draws, made as one step (ChangeSteps.h): the write transaction, the
// copy of the history before it for a change that removes or replaces draws, and the step,
// recorded in the same transaction. Uncommitted, it rolls back and its copy goes; committed, the
// copies of the steps it dropped go.
class HistoryChange {
public:
    explicit HistoryChange(HistoryStore& store);
    ~HistoryChange();
    HistoryChange(const HistoryChange&) = delete;
    HistoryChange& operator=(const HistoryChange&) = delete;

    bool begun() const { return transaction_.begun(); }
    QString beginError() const { return transaction_.beginError(); }

    // For a change that removes or replaces draws, before it writes: reads the whole history,
    // from its issues and numbers alone where the mark says the writers wrote it. Nothing and
    // the reason when it could not be read.
    const LishiImage* readBefore(QString* error);
    // Then keeps the copy of what readBefore read (none for an empty history); false and the
    // reason when it could not be written whole (the change must not go on).
    bool keepCopy(CopyReason reason, QString* error);
    const std::optional<HistoryCopy>& copy() const { return copy_; }

    // Says what the change did to the rows, before it commits: a history still written as the
    // writers derive it keeps its mark (DerivedRowsMark.h). Unsaid, the mark goes.
    void leaves(RowsLeft left, const ValueBases& bases = {}) {
        left_ = left;
        bases_ = bases;
    }

    enum class Outcome { Committed, Unchanged, Failed };
    // Ends a change that kept a copy: the history after it is read and recorded by its hash.
    // A history that came out as it was is rolled back: Unchanged, no step. A caller that wrote
    // the whole history itself may give what it wrote, in issue order, instead of its reading.
    Outcome commitReplacing(const QString& stepName, QString* error,
                            const QVector<DrawNumbers>* written = nullptr);
    // Ends a change that appended rows from the issue firstAdded on, and nothing else.
    Outcome commitAdding(const QString& stepName, qint64 firstAdded, QString* error);

private:
    Outcome commit(const QString& stepName, std::variant<AppendedDraws, ReplacedHistory> change,
                   QString* error);

    HistoryStore& store_;
    HistoryStore::Transaction transaction_;
    DerivedRowsMark mark_;
    RowsLeft left_ = RowsLeft::Unknown;
    ValueBases bases_;
    std::optional<LishiImage> before_;
    std::optional<HistoryCopy> copy_;
    bool committed_ = false;
    // The whole-file verdicts before the change, and what it carries over them.
    QMap<QString, QString> verdictsBefore_;
    CommittedChange carried_;
};

} // namespace quorvex
