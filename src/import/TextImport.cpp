#include "TextImport.h"

#include "changes/HistoryChange.h"
#include "store/DrawBulkWriter.h"
#include "store/HistoryFileAccess.h"

#include <QDir>

#include <algorithm>

namespace quorvex {

namespace {

QString problemList(const QVector<LineProblem>& problems, int listed) {
    QString out;
    const int shown = std::min<int>(listed, problems.size());
    for (int i = 0; i < shown; ++i)
        out += QLatin1Char('\n') + problems[i].describe();
    if (problems.size() > shown)
        out += QStringLiteral("\n……另有 %1 行未列出。").arg(problems.size() - shown);
    return out;
}

} // namespace

int ImportReport::skippedLines() const {
    return int(problems.size());
}

QVector<DrawNumbers> drawNumbersOf(const QVector<ImportedDraw>& draws) {
    QVector<DrawNumbers> out;
    out.reserve(draws.size());
    for (const ImportedDraw& d : draws)
        out.append({d.issue, d.numbers});
    return out;
}

bool writeHistoryRows(HistoryStore& store, const QVector<ImportedDraw>& draws,
                      const ValueBases& bases, ZodiacYear& zodiacYear, QString* error) {
    if (!store.Delrec(error))
        return false;
    DrawBulkWriter writer(store);
    if (!writer.prepare(error))
        return false;
    // The old history is going: the first draw has no draw before it.
    std::optional<DrawAttributes> previous;
    for (const ImportedDraw& d : draws) {
        QString why;
        previous = writer.append(d.issue, d.numbers, d.issue, previous, bases, zodiacYear, &why);
        if (!previous) {
            if (error)
                *error = QStringLiteral("保存第 %1 行（第 %2 期）时出错：%3")
                             .arg(d.lineNumber)
                             .arg(d.issue)
                             .arg(why);
            return false;
        }
    }
    return true;
}

bool replaceHistory(HistoryStore& store, const QVector<ImportedDraw>& draws,
                    const ValueBases& bases, ZodiacYear& zodiacYear, QString* error,
                    const std::function<bool(QString*)>& beforeDeleting) {
    HistoryStore::Transaction transaction(store);
    if (!transaction.begun()) {
        if (error)
            *error = transaction.beginError();
        return false;
    }
    if (beforeDeleting && !beforeDeleting(error))
        return false;
    if (!writeHistoryRows(store, draws, bases, zodiacYear, error))
        return false;
    return transaction.commit(error);
}

QString ImportPlan::replaceSentence() const {
    const QVector<ImportedDraw>& d = contents.draws;
    QString out = currentDraws == 0 ? QStringLiteral("历史号码现在是空的，")
                                    : QStringLiteral("现有的 %1 期历史号码（第 %2 至 %3 期）")
                                          .arg(currentDraws)
                                          .arg(currentFirst)
                                          .arg(currentLast);
    if (d.isEmpty())
        return out;
    out += QStringLiteral("将被文件中的 %1 期（第 %2 至 %3 期）替换")
               .arg(d.size())
               .arg(d.first().issue)
               .arg(d.last().issue);
    out += currentDraws == 0 ? QStringLiteral("。") : QStringLiteral("，替换前会先保存一份副本。");
    return out;
}

QString ImportPlan::faults(int listed) const {
    QString out;
    const QVector<LineProblem>& p = contents.problems;
    if (!p.isEmpty()) {
        out = QStringLiteral("文件中有 %1 行没有照原样读入：").arg(p.size());
        for (qsizetype i = 0; i < std::min<qsizetype>(listed, p.size()); ++i)
            out += QStringLiteral("\n%1（%2）").arg(p[i].describe(), p[i].text);
        if (p.size() > listed)
            out += QStringLiteral("\n……另有 %1 行。").arg(p.size() - listed);
    }
    if (!gaps.isEmpty())
        out += (out.isEmpty() ? QString() : QStringLiteral("\n")) + gapSummary(gaps, listed);
    return out;
}

ImportPlan planImport(const HistoryStore& store, const QString& path) {
    ImportPlan plan;
    plan.path = path;
    // Not read at all: closing a descriptor of the history's file would drop the locks this
    // program's connections hold on it.
    if (const auto id = fileId(path); id && id == fileId(store.databasePath())) {
        plan.contents.error = QStringLiteral("%1 是历史数据库本身，不是历史号码文本文件。")
                                  .arg(QDir::toNativeSeparators(path));
        return plan;
    }
    plan.contents = readHistoryFile(path);
    if (!plan.contents.error.isEmpty())
        return plan;
    QVector<qint64> issues;
    issues.reserve(plan.contents.draws.size());
    for (const ImportedDraw& d : plan.contents.draws)
        issues.append(d.issue);
    plan.gaps = issueGaps(issues);
    HistoryStore::ReadSnapshot snapshot(store);
    QString why;
    const auto span = store.span(&why);
    const qint64 count = store.drawCount(&why);
    if (!span || !why.isEmpty()) {
        plan.contents.error = QStringLiteral("无法读取现有的历史号码：%1。").arg(why);
        return plan;
    }
    plan.currentDraws = int(count);
    plan.currentFirst = span->firstIssue;
    plan.currentLast = span->lastIssue;
    return plan;
}

ImportReport importHistoryFile(HistoryStore& store, const QString& path, const ValueBases& bases,
                               ZodiacYear* zodiacYear, ImportFaults faults) {
    return importHistory(store, planImport(store, path), bases, zodiacYear, faults);
}

ImportReport importHistory(HistoryStore& store, const ImportPlan& plan, const ValueBases& bases,
                           ZodiacYear* zodiacYear, ImportFaults faults) {
    ImportReport report;
    const QString& path = plan.path;
    const HistoryFileContents& contents = plan.contents;
    report.problems = contents.problems;
    if (!contents.error.isEmpty()) {
        report.error = contents.error + historyUnchanged();
        return report;
    }
    if (!plan.clean() && faults == ImportFaults::Refuse) {
        report.refusedFaults = true;
        report.error = plan.faults() + QStringLiteral("\n") + historyUnchanged();
        return report;
    }
    ZodiacYear local;
    QString why;
    // The history being replaced is kept as a copy first, read inside the replacing transaction
    // so that no draw stored meanwhile escapes it.
    HistoryChange change(store);
    auto failed = [&](const QString& why) {
        report.error = QStringLiteral("读入失败：") + asSentence(why) + historyUnchanged();
        return report;
    };
    if (!change.begun())
        return failed(change.beginError());
    const LishiImage* before = change.readBefore(&why);
    if (!before || !change.keepCopy(CopyReason::Import, &why))
        return failed(why);
    if (!writeHistoryRows(store, contents.draws, bases, zodiacYear ? *zodiacYear : local, &why))
        return failed(why);
    const QVector<DrawNumbers> written = drawNumbersOf(contents.draws);
    change.leaves(RowsLeft::WrittenWhole, bases);
    switch (change.commitReplacing(stepName::import(path), &why, &written)) {
    case HistoryChange::Outcome::Failed:
        return failed(why);
    case HistoryChange::Outcome::Unchanged:
        report.unchanged = true;
        report.storedDraws = int(contents.draws.size());
        return report;
    case HistoryChange::Outcome::Committed:
        break;
    }
    if (change.copy())
        report.replacedHistoryFile = change.copy()->undoPath;
    report.replacedDraws = int(before->rows);
    report.replaced = true;
    report.storedDraws = int(contents.draws.size());
    report.firstIssue = contents.draws.first().issue;
    report.lastIssue = contents.draws.last().issue;
    report.gaps = plan.gaps;
    return report;
}

QString ImportReport::summary(int listedProblems) const {
    QString out;
    if (unchanged) {
        out = QStringLiteral(
                  "文件中的 %1 期历史号码与现有的历史号码完全相同：历史号码未作改动，没有记下"
                  "可撤销的一步。")
                  .arg(storedDraws);
    } else if (!replaced) {
        out = error;
    } else {
        // Into an empty history nothing was replaced.
        out = QStringLiteral("已读入 %1 期历史号码（第 %2 至 %3 期）%4")
                  .arg(storedDraws)
                  .arg(firstIssue)
                  .arg(lastIssue)
                  .arg(replacedDraws > 0 ? QStringLiteral("，原有历史号码已被替换。")
                                         : QStringLiteral("。"));
        if (replacedDraws > 0)
            out += QStringLiteral("\n原有的 %1 期历史号码已保存在 %2，可以撤销这次读入。")
                       .arg(replacedDraws)
                       .arg(QDir::toNativeSeparators(replacedHistoryFile));
        const int skipped = skippedLines();
        if (skipped > 0)
            out += QStringLiteral("\n有 %1 行未读入。").arg(skipped);
        if (!gaps.isEmpty())
            out += QLatin1Char('\n') + gapSummary(gaps);
    }
    if (!problems.isEmpty())
        out += problemList(problems, listedProblems);
    return out;
}

} // namespace quorvex
