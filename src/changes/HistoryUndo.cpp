#include "HistoryUndo.h"

#include "CommittedVerdicts.h"
#include "DerivedRowsMark.h"
#include "HistoryChange.h"
#include "image/PredictedRows.h"
#include "store/CheckVerdicts.h"
#include "store/LishiTable.h"

#include "store/SqliteStatement.h"

#include <QDir>

#include <limits>

namespace quorvex {

namespace {

QString quotedStep(const ChangeStep& step) {
    return QStringLiteral("“%1”（%2）").arg(step.name, copyTimeText(step.taken));
}

// Takes one step back or forward in one write transaction.
class StepMove {
public:
    StepMove(HistoryStore& store, bool redo) : store_(store), lock_(store) { report_.redo = redo; }

    UndoReport run() {
        if (!lock_.begun())
            return fail(QStringLiteral("无法写入历史数据库：%1。").arg(lock_.beginError()));
        mark_ = readDerivedRowsMark(store_);
        verdictsBefore_ = CheckVerdicts(store_).all();
        QString why;
        const auto steps = readSteps(store_, &why, true);
        if (!steps)
            return fail(why + QStringLiteral("。"));
        const ChangeStep* next = report_.redo ? nextRedo(*steps) : nextUndo(*steps);
        if (!next) {
            report_.nothing = true;
            return fail(report_.redo ? QStringLiteral("没有可以重做的修改。")
                                     : QStringLiteral("没有可以撤销的修改。"));
        }
        step_ = *next;
        report_.stepName = step_.name;
        report_.stepTaken = step_.taken;
        auto* appended = std::get_if<AppendedDraws>(&step_.change);
        auto* replaced = std::get_if<ReplacedHistory>(&step_.change);
        const bool moved = appended       ? moveAdded(*appended, &why)
                           : report_.redo ? redoReplaced(*replaced, &why)
                                          : undoReplaced(*replaced, &why);
        if (!moved)
            return fail(why);
        step_.undone = !report_.redo;
        const LeftMark left = leaveDerivedRowsMark(store_, mark_, left_, basesOfIndex(bases_));
        if (!markStep(store_, step_, &why) || !afterwards(&why) || !lock_.commit(&why))
            return fail(QStringLiteral("%1%2时出错：%3。")
                            .arg(report_.redo ? QStringLiteral("重做") : QStringLiteral("撤销"),
                                 quotedStep(step_), why));
        report_.done = true;
        carried_.left = left_;
        carried_.bases = bases_;
        carryOverOwnCommit(store_, mark_, verdictsBefore_, carried_, left);
        if (saved_)
            report_.savedCopy = saved_->undoPath;
        return report_;
    }

private:
    UndoReport fail(const QString& why) {
        // The copy this undo kept goes once nothing of it stands, not before.
        if (saved_ && lock_.rollback())
            discardHistoryCopy(*saved_);
        saved_.reset();
        report_.error = asSentence(why) + historyUnchanged();
        report_.done = false;
        return report_;
    }

    // Refused: another program changed the history; from which issue on, where that can be told.
    QString changedElsewhere(std::optional<qint64> from = std::nullopt) const {
        const QString where = from ? QStringLiteral("（第 %1 期起不同）").arg(*from) : QString();
        return report_.redo
                   ? QStringLiteral("撤销%1之后，历史号码被另一个程序改动过%2，重做会丢掉那些改"
                                    "动：没有重做。")
                         .arg(quotedStep(step_), where)
                   : QStringLiteral("%1之后，历史号码被另一个程序改动过%2，撤销会丢掉那些改动："
                                    "没有撤销。")
                         .arg(quotedStep(step_), where);
    }

    // The first issue where the history now differs from the one a copy of the step holds.
    std::optional<qint64> differsFromCopy(const LishiImage& now,
                                          const std::optional<HistoryCopy>& copy) const {
        QString ignored;
        if (!copy)
            return now.rows > 0 ? std::optional(now.draws.first().issue) : std::nullopt;
        const auto read = readRecordedCopy(*copy, &ignored);
        return read ? firstDifferingIssue(now, read->image) : std::nullopt;
    }

    // The rows the step appended, as it kept them.
    std::optional<LishiImage> addedRows(const AppendedDraws& step, QString* error) const {
        QString why;
        auto read = LishiImage::fromBytes(step.rows, &why);
        if (!read) {
            *error = QStringLiteral("修改记录%1已损坏：%2。").arg(quotedStep(step_), why);
            return std::nullopt;
        }
        return std::move(read->image);
    }

    // An appending step: undone, its rows must stand as it appended them, and go; redone, no row
    // may stand from its first issue on, and its rows come back.
    bool moveAdded(const AppendedDraws& step, QString* error) {
        const auto added = addedRows(step, error);
        if (!added)
            return false;
        QString why;
        const auto now = readLishiImage(store_, &why, step.firstIssue);
        if (!now)
            return *error = why + QStringLiteral("。"), false;
        bool asLeft = report_.redo ? now->rows == 0
                                   : now->columns == added->columns && now->cells == added->cells;
        // And the rows before them are those it appended after.
        if (asLeft && !step.numbersBefore.isEmpty()) {
            const auto before = readNumbersHash(store_, &why, step.firstIssue);
            if (!before)
                return *error = why + QStringLiteral("。"), false;
            asLeft = *before == step.numbersBefore;
        }
        if (!asLeft) {
            std::optional<qint64> from;
            if (report_.redo && now->rows > 0)
                from = now->draws.first().issue;
            else if (!report_.redo)
                from = firstDifferingIssue(*now, *added);
            return *error = changedElsewhere(from), false;
        }
        if (report_.redo) {
            const auto last = store_.lastDraw(&why);
            if (!why.isEmpty())
                return *error = why + QStringLiteral("。"), false;
            // The same columns as the table: what it adds beside them would be NULL.
            if (mark_.holds && mark_.bases && added->columns == now->columns &&
                appendsAsDerived(
                    *added,
                    last ? std::optional<DrawNumbers>({last->issue, last->attributes.numbers()})
                         : std::nullopt,
                    *mark_.bases)) {
                left_ = RowsLeft::Appended;
                bases_ = *mark_.bases;
                carried_.rowsAppended = added->rows;
            }
            return insertLishiRows(store_, *added, error);
        }
        left_ = RowsLeft::EndRemoved;
        return deleteFrom(step.firstIssue, error);
    }

    bool undoReplaced(ReplacedHistory& step, QString* error) {
        QString why;
        const auto now = readNow(&why);
        if (!now)
            return *error = why + QStringLiteral("。"), false;
        const QByteArray nowHash = now->contentHash();
        const auto* derived = std::get_if<DerivedUnderBases>(&step.after);
        const std::optional<int> derivedUnder =
            derived ? std::optional(derived->bases) : std::nullopt;
        bool asLeft = false;
        if (const auto* hashed = std::get_if<HashedWhole>(&step.after)) {
            asLeft = nowHash == hashed->hash;
        } else {
            // Steps of earlier versions may name the history after by its numbers alone. A
            // history worked out under the same bases is their derivation by its making.
            asLeft = now->numbersHash() == step.afterNumbers &&
                     (!derivedUnder || now->derivedUnder == derivedUnder ||
                      LishiImage::derivedHash(now->columns, now->draws, *derivedUnder) == nowHash);
        }
        if (!asLeft) {
            std::optional<qint64> from;
            if (derivedUnder) {
                // The history as the writers derive its draws: its first other row.
                LishiImage derived = *now;
                derived.cells.clear();
                deriveRowCells(derived.columns, derived.draws, *derivedUnder,
                               [&derived](QByteArrayView row) { derived.cells.append(row); });
                from = firstDifferingIssue(*now, derived);
            } else if (step.afterCopy) {
                from = differsFromCopy(*now, step.afterCopy);
            }
            return *error = changedElsewhere(from), false;
        }
        step.after = HashedWhole{nowHash};
        const auto target = copyOf(step.beforeCopy, step.beforeHash, error);
        if (!target)
            return false;
        if (step.beforeHash.isEmpty())
            step.beforeHash = target->contentHash();
        // The history this undo replaces is what a redo puts back: kept once, on the first undo.
        if (!step.afterCopy && now->rows > 0) {
            saved_ = keepHistoryCopy(store_.folder(), *now, CopyReason::Undo, &why);
            if (!saved_)
                return *error = why + QStringLiteral("，没有撤销。"), false;
            step.afterCopy = saved_;
        }
        return rewriteWith(*now, *target, error);
    }

    bool redoReplaced(const ReplacedHistory& step, QString* error) {
        QString why;
        const auto now = readNow(&why);
        if (!now)
            return *error = why + QStringLiteral("。"), false;
        if (now->contentHash() != step.beforeHash)
            return *error = changedElsewhere(differsFromCopy(*now, step.beforeCopy)), false;
        // Its undo hashed the history it replaced; a step that names it otherwise matches no
        // copy.
        const auto* hashed = std::get_if<HashedWhole>(&step.after);
        const auto target =
            copyOf(step.afterCopy, hashed ? hashed->hash : QByteArray(1, '\0'), error);
        return target && rewriteWith(*now, *target, error);
    }

    // The history a copy holds, checked against the hash the step recorded; an empty history
    // where the step kept no copy.
    std::optional<LishiImage> copyOf(const std::optional<HistoryCopy>& copy, const QByteArray& hash,
                                     QString* error) const {
        const QString verb = report_.redo ? QStringLiteral("重做") : QStringLiteral("撤销");
        QString why;
        std::optional<LishiImage> image;
        if (copy) {
            auto read = readRecordedCopy(*copy, &why);
            if (!read)
                return *error = why + QStringLiteral("，不能%1%2。").arg(verb, quotedStep(step_)),
                       std::nullopt;
            image = std::move(read->image);
        } else {
            // The table's columns and no row: the empty history as hashed when it was recorded.
            image = readLishiImage(store_, &why, std::numeric_limits<qint64>::max());
            if (!image)
                return *error = why + QStringLiteral("。"), std::nullopt;
            image->rows = 0;
            image->cells.clear();
            image->draws.clear();
        }
        // A copy the change took from issues and numbers alone has no hash yet: its file was
        // checked against what was written.
        if (!(copy && hash.isEmpty()) && image->contentHash() != hash)
            return *error = QStringLiteral("修改记录%1与它的副本不符，不能%2。")
                                .arg(quotedStep(step_), verb),
                   std::nullopt;
        return image;
    }

    // The whole history as it stands, every cell: what another program changed in any cell must
    // show in its hash before anything is written over it. Worked out from the issues and
    // numbers where the mark holds: its record outside the file says that nothing but this
    // program's own commit wrote the file since, so the cells are exactly those derived.
    std::optional<LishiImage> readNow(QString* error) const {
        std::optional<LishiImage> now;
        if (mark_.holds && mark_.bases)
            now = readDerivedImage(store_, *mark_.bases);
        return now ? now : readLishiImage(store_, error);
    }

    // Puts the copy's history in place; one that stands as the writers derive it keeps the mark.
    bool rewriteWith(const LishiImage& now, const LishiImage& target, QString* error) {
        if (target.derivedUnder) {
            left_ = RowsLeft::WrittenWhole;
            bases_ = *target.derivedUnder;
            carried_.rowsWritten = target.rows;
        }
        return rewriteLishiImage(store_, now, target, error);
    }

    bool deleteFrom(qint64 issue, QString* error) { return deleteRowsFrom(store_, issue, error); }

    // What the history holds once the step is taken, for the report.
    bool afterwards(QString* error) {
        const auto span = store_.span(error);
        if (!span)
            return false;
        if (!span->empty)
            report_.lastIssue = span->lastIssue;
        QString why;
        report_.draws = int(store_.drawCount(&why));
        if (!why.isEmpty())
            return *error = why, false;
        return true;
    }

    HistoryStore& store_;
    HistoryStore::Transaction lock_;
    ChangeStep step_;
    std::optional<HistoryCopy> saved_;
    UndoReport report_;
    DerivedRowsMark mark_;
    RowsLeft left_ = RowsLeft::Unknown;
    int bases_ = 0;
    QMap<QString, QString> verdictsBefore_;
    CommittedChange carried_;
};

} // namespace

QString UndoReport::message() const {
    if (failed())
        return error;
    QString out = QStringLiteral("已%1“%2”（%3）：现有 %4 期历史号码")
                      .arg(redo ? QStringLiteral("重做") : QStringLiteral("撤销"), stepName,
                           copyTimeText(stepTaken))
                      .arg(draws);
    if (lastIssue)
        out += QStringLiteral("，最后一期 %1").arg(*lastIssue);
    out += QStringLiteral("。");
    if (!savedCopy.isEmpty())
        out += QStringLiteral("撤销前的历史号码已保存在 %1。")
                   .arg(QDir::toNativeSeparators(savedCopy));
    return out;
}

UndoReport undoStep(HistoryStore& store) {
    return StepMove(store, false).run();
}

UndoReport redoStep(HistoryStore& store) {
    return StepMove(store, true).run();
}

std::optional<QVector<ChangeStep>> listSteps(const HistoryStore& store, QString* error) {
    HistoryStore::ReadSnapshot snapshot(store);
    return readSteps(store, error);
}

} // namespace quorvex
