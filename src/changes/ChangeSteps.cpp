#include "ChangeSteps.h"

#include "store/StepTable.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace quorvex {

namespace {

// The kind column: what the step did.
constexpr qint64 kAppendedKind = 0;
constexpr qint64 kReplacedKind = 1;

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

// The stored form of the history after: nothing, one byte naming the bases, or the hash.
QByteArray afterBytes(const HistoryAfter& after) {
    if (const auto* derived = std::get_if<DerivedUnderBases>(&after))
        return QByteArray(1, char(derived->bases));
    if (const auto* hashed = std::get_if<HashedWhole>(&after))
        return hashed->hash;
    return {};
}

HistoryAfter afterFrom(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return NamedByNumbers{};
    // A hash is 32 bytes: one byte of 0..3 names bases. Anything else stands as a hash, which
    // no history has, so that undo refuses rather than trust it.
    if (bytes.size() == 1 && quint8(bytes[0]) <= 3)
        return DerivedUnderBases{int(bytes[0])};
    return HashedWhole{bytes};
}

} // namespace

QStringList ChangeStep::files() const {
    QStringList out;
    if (const ReplacedHistory* r = replaced())
        for (const auto& copy : {r->beforeCopy, r->afterCopy})
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
        if (row.kind == kReplacedKind) {
            ReplacedHistory r;
            r.beforeHash = row.beforeHash;
            r.after = afterFrom(row.afterHash);
            r.afterNumbers = row.afterNumbers;
            r.beforeCopy = copyFrom(store.folder(), row.beforeCopy);
            r.afterCopy = copyFrom(store.folder(), row.afterCopy);
            s.change = std::move(r);
        } else {
            s.change = AppendedDraws{row.firstAdded.value_or(0), row.added, row.beforeHash};
        }
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
    if (const ReplacedHistory* r = step.replaced()) {
        row.kind = kReplacedKind;
        row.beforeHash = r->beforeHash;
        row.afterHash = afterBytes(r->after);
        row.afterNumbers = r->afterNumbers;
        row.beforeCopy = copyText(r->beforeCopy);
        row.afterCopy = copyText(r->afterCopy);
    } else {
        const auto& a = std::get<AppendedDraws>(step.change);
        row.kind = kAppendedKind;
        row.firstAdded = a.firstIssue;
        row.added = a.rows;
        row.beforeHash = a.numbersBefore;
    }
    return insertStep(store, row, error);
}

bool markStep(HistoryStore& store, const ChangeStep& step, QString* error) {
    StoredStep row;
    row.id = step.id;
    row.undone = step.undone;
    if (const ReplacedHistory* r = step.replaced()) {
        row.afterCopy = copyText(r->afterCopy);
        row.afterHash = afterBytes(r->after);
        row.beforeHash = r->beforeHash;
    } else {
        row.beforeHash = std::get<AppendedDraws>(step.change).numbersBefore;
    }
    return updateStep(store, row, error);
}

void removeStepFiles(const QStringList& files) {
    for (const QString& path : files)
        QFile::remove(path);
}

} // namespace quorvex
