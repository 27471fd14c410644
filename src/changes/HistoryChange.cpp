#include "HistoryChange.h"

#include "store/CheckVerdicts.h"
#include "store/LishiTable.h"

#include <algorithm>

namespace quorvex {

HistoryChange::HistoryChange(HistoryStore& store) : store_(store), transaction_(store) {
    if (transaction_.begun()) {
        mark_ = readDerivedRowsMark(store_);
        verdictsBefore_ = CheckVerdicts(store_).all();
    }
}

HistoryChange::~HistoryChange() {
    // The copy goes only once the history stands whole as it was: after the rollback, never
    // before it, and not when the rollback failed.
    if (!committed_ && copy_ && transaction_.rollback())
        discardHistoryCopy(*copy_);
}

const LishiImage* HistoryChange::readBefore(QString* error) {
    // Its cells are not kept: only packed for the copy and hashed for the step. Rows that
    // contradict the mark are read cell by cell after all.
    if (mark_.holds && mark_.bases)
        before_ = readDerivedDigest(store_, *mark_.bases);
    if (!before_)
        before_ = readLishiDigest(store_, error);
    return before_ ? &*before_ : nullptr;
}

bool HistoryChange::keepCopy(CopyReason reason, QString* error) {
    if (!before_ && !readBefore(error))
        return false;
    // An empty history is recorded as empty: no copy of nothing.
    if (before_->rows == 0)
        return true;
    copy_ = keepHistoryCopy(store_.folder(), *before_, reason, error);
    return copy_.has_value();
}

HistoryChange::Outcome HistoryChange::commitReplacing(const QString& stepName, QString* error,
                                                      const QVector<DrawNumbers>* written) {
    if (!before_) {
        *error = QStringLiteral("没有先读出原有的历史号码");
        return Outcome::Failed;
    }
    ReplacedHistory step;
    // A history read from its issues and numbers is hashed by the first undo, which reads its
    // copy whole: working out its cells here would cost as much as reading them.
    const std::optional<int> derivedUnder = before_->derivedUnder;
    if (!derivedUnder || before_->rows == 0)
        step.beforeHash = before_->contentHash();
    // What was just written in ascending issues is what a read in issue order gives back.
    const bool ascending = written && std::adjacent_find(written->begin(), written->end(),
                                                         [](const auto& a, const auto& b) {
                                                             return a.issue >= b.issue;
                                                         }) == written->end();
    if (ascending) {
        step.afterNumbers = LishiImage::numbersHash(before_->columns, *written);
    } else {
        const auto numbers = readNumbersHash(store_, error);
        if (!numbers)
            return Outcome::Failed;
        step.afterNumbers = *numbers;
    }
    // The same issues and numbers as before (a rebuild, the same draws imported): only the whole
    // history tells whether anything changed.
    const bool sameNumbers =
        ascending ? *written == before_->draws : step.afterNumbers == before_->numbersHash();
    // The history after is recorded so that undo can tell any later change of any cell: by its
    // hash, or, where the writers derived every row, by its numbers and the bases they derived
    // them under (the undo then checks every cell against that derivation).
    const auto newBases = basesIndex(bases_);
    const bool writtenWhole = left_ == RowsLeft::WrittenWhole && newBases;
    if (sameNumbers && derivedUnder && writtenWhole) {
        // Both as the writers derive them from the same draws: the bases tell, as each draw's
        // zodiac and segment move with them, and name the history after until an undo.
        if (*newBases == *derivedUnder || before_->rows == 0)
            return Outcome::Unchanged;
        step.after = DerivedUnderBases{*newBases};
    } else if (sameNumbers) {
        const auto after = readLishiImage(store_, error);
        if (!after)
            return Outcome::Failed;
        step.beforeHash = before_->contentHash();
        if (after->contentHash() == step.beforeHash)
            return Outcome::Unchanged;
        step.after = HashedWhole{after->contentHash()};
    } else if (writtenWhole) {
        step.after = DerivedUnderBases{*newBases};
    } else if (left_ == RowsLeft::EndRemoved && derivedUnder) {
        // Rows removed from the end of a history the writers derived: the rest stays so.
        step.after = DerivedUnderBases{*derivedUnder};
    } else {
        const auto after = readLishiImage(store_, error);
        if (!after)
            return Outcome::Failed;
        step.after = HashedWhole{after->contentHash()};
    }
    step.beforeCopy = copy_;
    if (written)
        carried_.rowsWritten = written->size();
    return commit(stepName, std::move(step), error);
}

HistoryChange::Outcome HistoryChange::commitAdding(const QString& stepName, qint64 firstAdded,
                                                   QString* error) {
    QString why;
    const auto added = readLishiImage(store_, &why, firstAdded);
    if (!added) {
        *error = why;
        return Outcome::Failed;
    }
    if (added->rows == 0)
        return Outcome::Unchanged;
    // The rows it appended after, by their issues and numbers: undo and redo check them.
    const auto before = readNumbersHash(store_, error, firstAdded);
    if (!before)
        return Outcome::Failed;
    carried_.rowsAppended = added->rows;
    return commit(
        stepName,
        AppendedDraws{firstAdded, added->toBytes(QDateTime::currentDateTime(), stepName), *before},
        error);
}

HistoryChange::Outcome HistoryChange::commit(const QString& stepName,
                                             std::variant<AppendedDraws, ReplacedHistory> change,
                                             QString* error) {
    ChangeStep step;
    step.name = stepName;
    step.change = std::move(change);
    step.taken = QDateTime::currentDateTime();
    QStringList obsolete;
    if (!recordStep(store_, step, &obsolete, error))
        return Outcome::Failed;
    // Copies that a change killed half way left behind: no step refers to them, and while this
    // change holds the write lock no other change can have taken one. The copies of the steps
    // this one drops go only once it has committed.
    QString ignored;
    if (const auto steps = readSteps(store_, &ignored)) {
        QStringList referenced = obsolete;
        for (const ChangeStep& s : *steps)
            referenced << s.files();
        removeUnreferencedCopies(store_.folder(), referenced);
    }
    const LeftMark left = leaveDerivedRowsMark(store_, mark_, left_, bases_);
    if (!transaction_.commit(error))
        return Outcome::Failed;
    committed_ = true;
    removeStepFiles(obsolete);
    carried_.left = left_;
    carried_.bases = basesIndex(bases_);
    carryOverOwnCommit(store_, mark_, verdictsBefore_, carried_, left);
    return Outcome::Committed;
}

} // namespace quorvex
