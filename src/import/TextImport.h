#pragma once

#include "HistoryFile.h"
#include "IssueGaps.h"

#include "store/HistoryStore.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

namespace quorvex {

// The issues and numbers of the draws, as a history read back gives them.
QVector<DrawNumbers> drawNumbersOf(const QVector<ImportedDraw>& draws);

// Deletes every draw and stores draws (ascending, distinct issues) in their place, inside a
// transaction the caller holds; the first draw has no draw before it.
bool writeHistoryRows(HistoryStore& store, const QVector<ImportedDraw>& draws,
                      const ValueBases& bases, ZodiacYear& zodiacYear, QString* error);

// Replaces the whole history with draws (ascending, distinct issues) in one transaction: every
// draw is stored, or the history stays exactly as it was. The first draw has no draw before it.
// beforeDeleting, when given, runs inside the transaction before the old draws go; its failure
// leaves the history as it was.
bool replaceHistory(HistoryStore& store, const QVector<ImportedDraw>& draws,
                    const ValueBases& bases, ZodiacYear& zodiacYear, QString* error,
                    const std::function<bool(QString*)>& beforeDeleting = {});

struct ImportReport {
    bool replaced = false;      // the history now holds the file's draws
    bool unchanged = false;     // the file holds the history as it stands: no step was recorded
    bool refusedFaults = false; // refused for lines not read as written or holes (error lists them)
    QString error;              // why nothing changed
    int storedDraws = 0;
    qint64 firstIssue = 0;
    qint64 lastIssue = 0;
    QString replacedHistoryFile;   // the copy kept of the history it replaced (HistoryCopies.h)
    int replacedDraws = 0;         // draws of the history it replaced
    QVector<LineProblem> problems; // in line order
    QVector<IssueGap> gaps;        // issues missing between the draws stored
    int skippedLines() const;

    // One message for the user, in Chinese: what was stored, or why nothing changed, the gaps
    // in the issues stored, and the first few lines not stored with the reason.
    QString summary(int listedProblems = 5) const;
};

// What the import of a file would do, read before anything changes: the file's draws and the
// lines not read as written, the holes between its draws, and the history it would replace.
struct ImportPlan {
    QString path;
    HistoryFileContents contents; // contents.error: the file cannot be imported at all
    QVector<IssueGap> gaps;       // between the file's draws
    int currentDraws = 0;
    qint64 currentFirst = 0;
    qint64 currentLast = 0;

    // Every line read as written and no hole: the import needs no second look.
    bool clean() const { return contents.problems.isEmpty() && gaps.isEmpty(); }
    // "现有的 N 期历史号码（第 A 至 B 期）将被文件中的 M 期（第 C 至 D 期）替换，替换前会先保存一份
    // 副本。"
    QString replaceSentence() const;
    // How many lines were not read as written and the first `listed` of them (line number, text,
    // reason), then the holes; empty for a clean file.
    QString faults(int listed = 3) const;
};
ImportPlan planImport(const HistoryStore& store, const QString& path);

// Whether an import goes on when the file is not clean (ImportPlan::clean): the user saw what is
// left out and agreed, or it is refused with the faults and nothing changes.
enum class ImportFaults { Refuse, Accept };

// The text import: replaces the history with the draws of a history file. zodiacYear, when
// given, is left at the year of the last draw stored.
ImportReport importHistoryFile(HistoryStore& store, const QString& path, const ValueBases& bases,
                               ZodiacYear* zodiacYear = nullptr,
                               ImportFaults faults = ImportFaults::Refuse);
// The same with the plan the user was shown: its draws are what is stored.
ImportReport importHistory(HistoryStore& store, const ImportPlan& plan, const ValueBases& bases,
                           ZodiacYear* zodiacYear = nullptr,
                           ImportFaults faults = ImportFaults::Refuse);

} // namespace quorvex
