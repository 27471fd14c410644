#include "ChangeSteps.h"

#include "store/StepTable.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace quorvex {

namespace {

// A copy as the step keeps it: its name and what was written, as JSON.
QString copyText(const std::optional<HistoryCopy>& copy) {
    if (!copy)
        return {};
    QJsonObject o;
    o[QStringLiteral("stem")] = copy->stem();
    o[QStringLiteral("draws")] = copy->draws;
    // Copies of earlier versions also hold the draws as text, checked the same way.
    if (!copy->textPath.isEmpty()) {
        o[QStringLiteral("textBytes")] = copy->textBytes;
        o[QStringLiteral("textSum")] = QString::fromLatin1(copy->textSum.toHex());
    }
    o[QStringLiteral("undoBytes")] = copy->undoBytes;
    o[QStringLiteral("undoSum")] = QString::fromLatin1(copy->undoSum.toHex());
    o[QStringLiteral("plainBytes")] = copy->plainBytes;
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<HistoryCopy> copyFrom(const QString& folder, const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    // A record that does not parse keeps no sizes or sums, so its copy is refused as altered.
    HistoryCopy copy = recordedCopy(folder, o.value(QStringLiteral("stem")).toString());
    copy.draws = o.value(QStringLiteral("draws")).toInt();
    if (!o.contains(QStringLiteral("textBytes")))
        copy.textPath.clear();
    copy.textBytes = qint64(o.value(QStringLiteral("textBytes")).toDouble(-1));
    copy.textSum = QByteArray::fromHex(o.value(QStringLiteral("textSum")).toString().toLatin1());
    copy.undoBytes = qint64(o.value(QStringLiteral("undoBytes")).toDouble(-1));
    copy.undoSum = QByteArray::fromHex(o.value(QStringLiteral("undoSum")).toString().toLatin1());
    copy.plainBytes = qint64(o.value(QStringLiteral("plainBytes")).toDouble(0));
    return copy;
}

} // namespace

QByteArray derivedAfter(int bases) {
    return QByteArray(1, char(bases));
}

std::optional<int> derivedAfterBases(const QByteArray& afterHash) {
    // A hash is 32 bytes: one byte is a name.
    if (afterHash.size() != 1 || quint8(afterHash[0]) > 3)
        return std::nullopt;
    return int(afterHash[0]);
}

QStringList ChangeStep::files() const {
    QStringList out;
    for (const auto& copy : {before, after})
        if (copy)
            for (const QString& path : {copy->textPath, copy->undoPath})
                if (!path.isEmpty())
                    out << path;
    return out;
}

namespace stepName {
QString typedDraw(qint64 issue) {
    return QStringLiteral("输入第 %1 期").arg(issue);
}
QString import(const QString& path) {
    return QStringLiteral("读入 %1").arg(QFileInfo(path).fileName());
}
QString update(qint64 firstIssue, qint64 lastIssue) {
    return firstIssue == lastIssue
               ? QStringLiteral("在线更新 %1").arg(firstIssue)
               : QStringLiteral("在线更新 %1–%2").arg(firstIssue).arg(lastIssue);
}
QString eraseLast() {
    return QStringLiteral("删除最后一期");
}
QString clear() {
    return QStringLiteral("清空");
}
QString keepTo(qint64 issue) {
    return QStringLiteral("删除到第 %1 期").arg(issue);
}
QString dropLast(qint64 count) {
    return QStringLiteral("删除最后 %1 期").arg(count);
}
QString rebuild() {
    return QStringLiteral("按当前参数重算");
}
} // namespace stepName

std::optional<QVector<ChangeStep>> readSteps(const HistoryStore& store, QString* error,
                                             bool withRows) {
    const auto rows = readStoredSteps(store, withRows, error);
    if (!rows)
        return std::nullopt;
    QVector<ChangeStep> out;
    out.reserve(rows->size());
    for (const StoredStep& row : *rows) {
        ChangeStep& s = out.emplaceBack();
        s.id = row.id;
        s.name = row.name;
        s.taken = QDateTime::fromMSecsSinceEpoch(row.takenMs);
        s.undone = row.undone;
        s.kind = row.kind == int(StepKind::Replaced) ? StepKind::Replaced : StepKind::Added;
        s.firstAdded = row.firstAdded.value_or(0);
        s.added = row.added;
        s.beforeHash = row.beforeHash;
        s.afterHash = row.afterHash;
        s.afterNumbers = row.afterNumbers;
        s.before = copyFrom(store.folder(), row.beforeCopy);
        s.after = copyFrom(store.folder(), row.afterCopy);
    }
    return out;
}

const ChangeStep* nextUndo(const QVector<ChangeStep>& steps) {
    for (const ChangeStep& s : steps)
        if (!s.undone)
            return &s;
    return nullptr;
}

const ChangeStep* nextRedo(const QVector<ChangeStep>& steps) {
    const ChangeStep* out = nullptr;
    for (const ChangeStep& s : steps) {
        if (!s.undone)
            break;
        out = &s;
    }
    return out;
}

bool recordStep(HistoryStore& store, ChangeStep& step, QStringList* obsoleteFiles, QString* error) {
    if (!createStepTable(store, error))
        return false;
    const auto steps = readSteps(store, error);
    if (!steps)
        return false;
    // Undone steps go: the new change is made on the history as it stands.
    QVector<ChangeStep> kept;
    for (const ChangeStep& s : *steps) {
        if (s.undone)
            *obsoleteFiles << s.files();
        else
            kept.append(s);
    }
    if (!deleteUndoneSteps(store, error))
        return false;
    // The newest kStepsKept stay, this one among them.
    if (kept.size() >= kStepsKept) {
        for (qsizetype i = kStepsKept - 1; i < kept.size(); ++i)
            *obsoleteFiles << kept[i].files();
        if (!deleteStepsUpTo(store, kept[kStepsKept - 1].id, error))
            return false;
    }
    step.id = (steps->isEmpty() ? 0 : steps->first().id) + 1;
    StoredStep row;
    row.id = step.id;
    row.name = step.name;
    row.takenMs = step.taken.toMSecsSinceEpoch();
    row.kind = qint64(step.kind);
    if (step.kind == StepKind::Added) {
        row.firstAdded = step.firstAdded;
        row.added = step.added;
    }
    row.beforeHash = step.beforeHash;
    row.afterHash = step.afterHash;
    row.afterNumbers = step.afterNumbers;
    row.beforeCopy = copyText(step.before);
    row.afterCopy = copyText(step.after);
    return insertStep(store, row, error);
}

bool markStep(HistoryStore& store, const ChangeStep& step, QString* error) {
    StoredStep row;
    row.id = step.id;
    row.undone = step.undone;
    row.afterCopy = copyText(step.after);
    row.afterHash = step.afterHash;
    row.beforeHash = step.beforeHash;
    return updateStep(store, row, error);
}

void removeStepFiles(const QStringList& files) {
    for (const QString& path : files)
        QFile::remove(path);
}

} // namespace quorvex
