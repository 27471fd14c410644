#include "HistoryCopies.h"

#include "HistoryTextFile.h"

#include "history/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>

namespace quorvex {

namespace {

const QString kPrefix = QStringLiteral("替换前的历史号码-");
const QString kTextSuffix = QStringLiteral(".txt");
const QString kUndoSuffix = QStringLiteral(".undo");
const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

// A copy's name without its suffix: prefix, date, time, the number within the second (1 when
// the name has none) and the word.
struct CopyName {
    QDateTime taken;
    int n = 1;
    QString reason;
};

std::optional<CopyName> parseStem(const QString& stem) {
    static const QRegularExpression pattern(
        QStringLiteral("^%1(\\d{8}-\\d{6})(?:-(\\d{1,6}))?(?:-([^.\\d][^.]*))?$").arg(kPrefix));
    const auto m = pattern.match(stem);
    if (!m.hasMatch())
        return std::nullopt;
    CopyName name;
    name.taken = QDateTime::fromString(m.captured(1), kStampFormat);
    if (!name.taken.isValid())
        return std::nullopt;
    if (m.hasCaptured(2))
        name.n = m.captured(2).toInt();
    name.reason = m.captured(3);
    return name;
}

QString stemOf(const QDateTime& taken, int n, const QString& reason) {
    QString stem = kPrefix + taken.toString(kStampFormat);
    if (n > 1)
        stem += QStringLiteral("-%1").arg(n);
    return stem + QLatin1Char('-') + reason;
}

QString copyFolder(const QString& programFolder) {
    return QDir(programFolder).filePath(historyCopyFolderName());
}

// The copies with their place in the order: newest first.
struct Listed {
    HistoryCopy copy;
    int n = 1;
};

QVector<Listed> listed(const QString& programFolder) {
    const QDir dir(copyFolder(programFolder));
    QMap<QString, Listed> byStem;
    const QStringList files =
        dir.entryList({kPrefix + QLatin1Char('*')}, QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& file : files) {
        const bool text = file.endsWith(kTextSuffix);
        if (!text && !file.endsWith(kUndoSuffix))
            continue;
        const QString stem = file.chopped(text ? kTextSuffix.size() : kUndoSuffix.size());
        const auto name = parseStem(stem);
        if (!name)
            continue;
        Listed& l = byStem[stem];
        l.copy.taken = name->taken;
        l.copy.reason = name->reason;
        l.n = name->n;
        (text ? l.copy.textPath : l.copy.undoPath) = dir.filePath(file);
    }
    QVector<Listed> out(byStem.begin(), byStem.end());
    std::stable_sort(out.begin(), out.end(), [](const Listed& a, const Listed& b) {
        return a.copy.taken != b.copy.taken ? a.copy.taken > b.copy.taken : a.n > b.n;
    });
    return out;
}

void removeFiles(const HistoryCopy& copy) {
    for (const QString& path : {copy.textPath, copy.undoPath})
        if (!path.isEmpty())
            QFile::remove(path);
}

} // namespace

QString copyReasonWord(CopyReason reason) {
    switch (reason) {
    case CopyReason::EraseLast:
        return QStringLiteral("删除最后一期");
    case CopyReason::Clear:
        return QStringLiteral("清空");
    case CopyReason::KeepTo:
        return QStringLiteral("删除到选定期");
    case CopyReason::DropLast:
        return QStringLiteral("删除最后若干期");
    case CopyReason::Rebuild:
        return QStringLiteral("重算");
    case CopyReason::Import:
        return QStringLiteral("读入");
    case CopyReason::UpdateRetention:
        return QStringLiteral("在线更新");
    case CopyReason::Undo:
        return QStringLiteral("撤销");
    }
    return {};
}

QString copyTimeText(const QDateTime& taken) {
    return taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QVector<HistoryCopy> listHistoryCopies(const QString& programFolder) {
    QVector<HistoryCopy> out;
    for (const Listed& l : listed(programFolder))
        out.append(l.copy);
    return out;
}

namespace {

QString copyFailure(const QString& why) {
    return QStringLiteral("无法先保存一份原有历史号码的副本（%1）").arg(why);
}

} // namespace

std::optional<HistoryCopy> keepHistoryCopy(HistoryStore& store, CopyReason reason, QString* error) {
    QString why;
    const auto image = readLishiImage(store, &why);
    if (!image) {
        if (error)
            *error = copyFailure(why);
        return std::nullopt;
    }
    return keepHistoryCopy(store.folder(), *image, reason, error);
}

std::optional<HistoryCopy> keepHistoryCopy(const QString& programFolder, const LishiImage& image,
                                           CopyReason reason, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = copyFailure(why);
        return std::nullopt;
    };
    QString why;
    const QString folder = copyFolder(programFolder);
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(folder)));

    HistoryCopy copy;
    // The name's time has whole seconds: the copy's own time is kept the same way.
    const QDateTime now = QDateTime::currentDateTime();
    copy.taken = QDateTime::fromString(now.toString(kStampFormat), kStampFormat);
    copy.reason = copyReasonWord(reason);
    int n = 1;
    for (const Listed& l : listed(programFolder))
        if (l.copy.taken == copy.taken)
            n = std::max(n, l.n + 1);
    const QString stem = QDir(folder).filePath(stemOf(copy.taken, n, copy.reason));
    copy.textPath = stem + kTextSuffix;
    copy.undoPath = stem + kUndoSuffix;
    copy.draws = int(image.rows);
    if (!image.draws.isEmpty())
        copy.lastIssue = image.draws.last().issue;

    // The .undo file last: a copy without it is only a history text file.
    if (!writeHistoryTextFile(copy.textPath, image.draws, &why))
        return fail(why);
    if (!writeFileDurably(copy.undoPath, image.toBytes(copy.taken, copy.reason), &why)) {
        QFile::remove(copy.textPath);
        return fail(why);
    }
    return copy;
}

void discardHistoryCopy(const HistoryCopy& copy) {
    removeFiles(copy);
}

void pruneHistoryCopies(const QString& programFolder) {
    const QVector<Listed> all = listed(programFolder);
    for (qsizetype i = kHistoryCopiesKept; i < all.size(); ++i)
        removeFiles(all[i].copy);
}

std::optional<LishiImage::Read> readHistoryCopy(const HistoryCopy& copy, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("副本 %1 无法读取：%2")
                         .arg(QDir::toNativeSeparators(copy.undoPath), why);
        return std::nullopt;
    };
    QFile file(copy.undoPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    QString why;
    auto read = LishiImage::fromBytes(bytes, &why);
    if (!read)
        return fail(why);
    return read;
}

} // namespace quorvex
