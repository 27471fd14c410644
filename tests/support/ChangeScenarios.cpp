#include "ChangeScenarios.h"

#include "changes/HistoryUndo.h"
#include "FollowOracle.h"
#include "import/TextImport.h"
#include "import/TypedDraw.h"
#include "import/UpdateApply.h"
#include "maintenance/HistoryMaintenance.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>

namespace quorvex::test {

void fillMixed(TempHistory& h, int count) {
    const QVector<Numbers> draws = randomDraws(count, 17);
    {
        HistoryStore::Transaction t(h.store());
        h.appendMany(2001001, draws.mid(0, count / 2), {1, 1});
        h.appendMany(2001001 + count / 2, draws.mid(count / 2), {0, 0});
        QString error;
        if (!t.commit(&error))
            qFatal("cannot fill a test history: %s", qPrintable(error));
    }
    QSqlQuery q(h.store().database());
    for (const char* sql : {"UPDATE Lishi SET strQQH = '2001003' WHERE SQQH = 2001003",
                            "UPDATE Lishi SET intTh = 7, L1BS = 4, txtHisP6 = 'x' "
                            "WHERE SQQH = 2001002",
                            "UPDATE Lishi SET txtHisLstDs = NULL, L2E = 'one' WHERE SQQH = 2001004",
                            "UPDATE Lishi SET bolOk = 1.5 WHERE SQQH = 2001005",
                            "UPDATE Lishi SET txtHisP6 = x'00ff' WHERE SQQH = 2001006"})
        if (!q.exec(QString::fromLatin1(sql)))
            qFatal("cannot mix the test history: %s", sql);
}

QString writeImportFile(const QString& folder) {
    QByteArray text;
    const QVector<Numbers> draws = randomDraws(30, 5);
    for (int i = 0; i < draws.size(); ++i) {
        text += QByteArray::number(2010001 + i) + ' ';
        for (int n : draws[i])
            text += QByteArray::number(n).rightJustified(2, '0') + ' ';
        text += "\r\n";
    }
    const QString path = QDir(folder).filePath(QStringLiteral("import.txt"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        qFatal("cannot write the import file");
    return path;
}

// Runs a change; the reason when it failed.
QString runChange(Change change, HistoryStore& store, const QString& importFile) {
    const QString folder = store.folder();
    switch (change) {
    case Change::EraseLast:
        return eraseLastDraw(store).error;
    case Change::Clear:
        return clearHistory(store).error;
    case Change::KeepTo: {
        const auto last = store.lastDraw();
        return keepToIssue(store, folder, last ? last->issue - 3 : 2001010, {}).error;
    }
    case Change::DropLast:
        return dropLastIssues(store, folder, 5, {}).error;
    case Change::Rebuild:
        return rebuildHistory(store, folder, {0, 1}).error;
    case Change::Import:
        return importHistoryFile(store, importFile, {}).error;
    case Change::Typed: {
        ZodiacYear zodiacYear;
        QString why;
        const auto last = store.lastDraw();
        storeTypedDraw(store, randomDraws(1, quint32(last ? last->issue : 1)).first(), std::nullopt,
                       std::nullopt, {}, zodiacYear, QDate(2026, 5, 1), &why);
        return why;
    }
    case Change::Update: {
        HistoryBounds bounds;
        QString why;
        if (!readHistoryBounds(store, &bounds, &why))
            return why;
        UpdatePlan plan;
        plan.storedFirst = bounds.first;
        plan.storedLast = bounds.last;
        plan.continues = bounds.last;
        QVector<ScannedDraw> draws;
        for (const Numbers& n : randomDraws(3, quint32(bounds.last.value_or(7))))
            draws.append({bounds.last.value_or(2026000) + 1 + draws.size(), n});
        ZodiacYear zodiacYear;
        applyUpdate(store, plan, draws, {}, zodiacYear, nullptr, &why);
        return why;
    }
    case Change::UpdateRetention: {
        HistoryBounds bounds;
        QString why;
        if (!readHistoryBounds(store, &bounds, &why))
            return why;
        const UpdatePlan plan = planUpdate(bounds.first, bounds.last, 3, 2026);
        QVector<ScannedDraw> draws;
        for (const Numbers& n : randomDraws(40, 9))
            draws.append({2023001 + draws.size(), n});
        ZodiacYear zodiacYear;
        int cleared = 0;
        if (!plan.clearHistory)
            return {}; // not due: nothing changes
        applyUpdate(store, plan, draws, {}, zodiacYear, &cleared, &why);
        return why;
    }
    }
    return {};
}

QVector<Change> allChanges() {
    return {Change::EraseLast,       Change::Clear,   Change::KeepTo,
            Change::DropLast,        Change::Rebuild, Change::Import,
            Change::UpdateRetention, Change::Typed,   Change::Update};
}

const char* changeName(Change change) {
    static const char* const names[] = {
        "delete the last draw",      "clear",      "keep to an issue",
        "drop the last N",           "rebuild",    "import",
        "online update's retention", "typed draw", "online update"};
    return names[int(change)];
}

QVector<Change> copyingChanges() {
    return allChanges().mid(0, 7);
}

int stepCount(const HistoryStore& store) {
    QString why;
    const auto steps = listSteps(store, &why);
    if (!steps)
        qFatal("cannot read the steps: %s", qPrintable(why));
    return int(steps->size());
}

// Rewrites the newest step's copy with bytes of the test's choice, its record made to match, so
// that only the reading of the image itself can refuse it.
QString copyFolder(const TempHistory& h) {
    return QDir(h.folder()).filePath(historyCopyFolderName());
}

} // namespace quorvex::test
