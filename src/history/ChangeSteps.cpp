#include "ChangeSteps.h"

#include "history/SqliteStatement.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace quorvex {

namespace {

const QString kCreate = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS Buzhou (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
    "taken INTEGER NOT NULL, undone INTEGER NOT NULL, kind INTEGER NOT NULL, "
    "firstAdded INTEGER, added BLOB, beforeHash BLOB, afterHash BLOB, afterNumbers BLOB, "
    "beforeCopy TEXT, afterCopy TEXT)");

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

bool hasStepTable(const HistoryStore& store, QString* error) {
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral(
            "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Buzhou'")) &&
        q.next())
        return true;
    if (q.lastError().isValid()) {
        *error = QStringLiteral("无法读取修改记录：%1").arg(q.errorText());
        return false;
    }
    return false;
}

bool run(HistoryStore& store, const QString& sql, qint64 value, QString* error) {
    SqliteStatement q(store);
    if (q.prepare(sql)) {
        if (sql.contains(QLatin1Char('?')))
            q.bind(1, value);
        if (q.exec())
            return true;
    }
    *error = QStringLiteral("无法写入修改记录：%1").arg(q.errorText());
    return false;
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
    QString why;
    QVector<ChangeStep> out;
    if (!hasStepTable(store, &why)) {
        if (!why.isEmpty())
            return *error = why, std::nullopt;
        return out;
    }
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral("SELECT id, name, taken, undone, kind, firstAdded, %1, "
                                 "beforeHash, afterHash, afterNumbers, beforeCopy, afterCopy "
                                 "FROM Buzhou ORDER BY id DESC")
                      .arg(withRows ? QStringLiteral("added") : QStringLiteral("NULL")))) {
        while (q.next()) {
            ChangeStep s;
            s.id = q.integer(0);
            s.name = q.text(1);
            s.taken = QDateTime::fromMSecsSinceEpoch(q.integer(2));
            s.undone = q.integer(3) != 0;
            s.kind = q.integer(4) == int(StepKind::Replaced) ? StepKind::Replaced : StepKind::Added;
            s.firstAdded = q.integer(5);
            s.added = q.blob(6).toByteArray();
            s.beforeHash = q.blob(7).toByteArray();
            s.afterHash = q.blob(8).toByteArray();
            s.afterNumbers = q.blob(9).toByteArray();
            s.before = copyFrom(store.folder(), q.text(10));
            s.after = copyFrom(store.folder(), q.text(11));
            out.append(s);
        }
    }
    if (q.lastError().isValid())
        return *error = QStringLiteral("无法读取修改记录：%1").arg(q.errorText()), std::nullopt;
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
    QSqlQuery create(store.database());
    if (!create.exec(kCreate))
        return *error =
                   QStringLiteral("无法建立修改记录：%1").arg(store.errorText(create.lastError())),
               false;
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
    if (!run(store, QStringLiteral("DELETE FROM Buzhou WHERE undone <> 0"), 0, error))
        return false;
    // The newest kStepsKept stay, this one among them.
    if (kept.size() >= kStepsKept) {
        for (qsizetype i = kStepsKept - 1; i < kept.size(); ++i)
            *obsoleteFiles << kept[i].files();
        if (!run(store, QStringLiteral("DELETE FROM Buzhou WHERE id <= ?"), kept[kStepsKept - 1].id,
                 error))
            return false;
    }
    step.id = (steps->isEmpty() ? 0 : steps->first().id) + 1;
    SqliteStatement insert(store);
    if (insert.prepare(QStringLiteral(
            "INSERT INTO Buzhou (id, name, taken, undone, kind, firstAdded, added, beforeHash, "
            "afterHash, afterNumbers, beforeCopy, afterCopy) "
            "VALUES (?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?)"))) {
        insert.bind(1, step.id);
        insert.bind(2, step.name);
        insert.bind(3, step.taken.toMSecsSinceEpoch());
        insert.bind(4, qint64(step.kind));
        if (step.kind == StepKind::Added) {
            insert.bind(5, step.firstAdded);
            insert.bindBlob(6, step.added);
        } else {
            insert.bindNull(5);
            insert.bindNull(6);
        }
        insert.bindBlob(7, step.beforeHash);
        insert.bindBlob(8, step.afterHash);
        insert.bindBlob(9, step.afterNumbers);
        insert.bind(10, copyText(step.before));
        insert.bind(11, copyText(step.after));
        if (insert.exec())
            return true;
    }
    *error = QStringLiteral("无法写入修改记录：%1").arg(insert.errorText());
    return false;
}

bool markStep(HistoryStore& store, const ChangeStep& step, QString* error) {
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral(
            "UPDATE Buzhou SET undone = ?, afterCopy = ?, afterHash = ?, beforeHash = ? "
            "WHERE id = ?"))) {
        q.bind(1, qint64(step.undone ? 1 : 0));
        q.bind(2, copyText(step.after));
        q.bindBlob(3, step.afterHash);
        q.bindBlob(4, step.beforeHash);
        q.bind(5, step.id);
        if (q.exec() && q.changes() == 1)
            return true;
    }
    *error = QStringLiteral("无法写入修改记录：%1").arg(q.errorText());
    return false;
}

void removeStepFiles(const QStringList& files) {
    for (const QString& path : files)
        QFile::remove(path);
}

} // namespace quorvex
