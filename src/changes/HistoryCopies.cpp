#include "HistoryCopies.h"
#include "store/LishiTable.h"

#include "store/DurableFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <unistd.h>

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

QString HistoryCopy::stem() const {
    const QString name = QFileInfo(textPath.isEmpty() ? undoPath : textPath).fileName();
    return name.left(name.lastIndexOf(QLatin1Char('.')));
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

void removeUnreferencedCopies(const QString& programFolder, const QStringList& referenced) {
    QSet<QString> kept;
    for (const QString& path : referenced)
        kept.insert(QFileInfo(path).fileName());
    for (const HistoryCopy& copy : listHistoryCopies(programFolder))
        if (!copy.undoPath.isEmpty() && !kept.contains(QFileInfo(copy.undoPath).fileName()))
            ::unlink(QFile::encodeName(copy.undoPath).constData());
    // What a copy killed while it was written left beside its name.
    const QDir folder(QDir(programFolder).filePath(historyCopyFolderName()));
    const QRegularExpression leftover(QStringLiteral("^%1.*\\%2\\.[0-9a-f]{8}\\.tmp$")
                                          .arg(QRegularExpression::escape(kPrefix), kUndoSuffix));
    for (const QString& name :
         folder.entryList({kPrefix + QStringLiteral("*.tmp")}, QDir::Files | QDir::System))
        if (leftover.match(name).hasMatch())
            ::unlink(QFile::encodeName(folder.filePath(name)).constData());
}

namespace {

// The plain size qCompress put before the stream, behind the magic line.
qint64 plainSizeOf(const QByteArray& undo) {
    const qsizetype at = undo.indexOf('\n') + 1;
    if (at <= 0 || undo.size() < at + 4)
        return 0;
    return (qint64(quint8(undo[at])) << 24) | (qint64(quint8(undo[at + 1])) << 16) |
           (qint64(quint8(undo[at + 2])) << 8) | qint64(quint8(undo[at + 3]));
}

// A file of the copy read whole, when it is the regular file of the size and BLAKE2b-256 recorded.
std::optional<QByteArray> readChecked(const QString& path, qint64 size, const QByteArray& sum,
                                      QString* error) {
    auto fail = [&](const QString& why) {
        *error = QStringLiteral("副本 %1 %2").arg(QDir::toNativeSeparators(path), why);
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return fail(QStringLiteral("不见了"));
    // Checked before opening: opening a FIFO would wait for a writer.
    if (info.isSymLink() || !info.isFile())
        return fail(QStringLiteral("不是普通文件"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("无法打开（%1）").arg(file.errorString()));
    // One byte past the size: a file that grew is told apart from one of the right size.
    const QByteArray bytes = file.read(size + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("无法读取（%1）").arg(file.errorString()));
    if (bytes.size() != size)
        return fail(bytes.size() < size ? QStringLiteral("被截短了") : QStringLiteral("被加长了"));
    if (QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256) != sum)
        return fail(QStringLiteral("的内容被改动过"));
    return bytes;
}

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
    copy.undoPath = stem + kUndoSuffix;
    copy.draws = int(image.rows);
    if (!image.draws.isEmpty())
        copy.lastIssue = image.draws.last().issue;

    const QByteArray undo = image.toBytes(copy.taken, copy.reason);
    if (!writeFileDurably(copy.undoPath, undo, &why))
        return fail(why);
    copy.undoBytes = undo.size();
    copy.undoSum = QCryptographicHash::hash(undo, QCryptographicHash::Blake2b_256);
    copy.plainBytes = plainSizeOf(undo);
    return copy;
}

void discardHistoryCopy(const HistoryCopy& copy) {
    removeFiles(copy);
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

HistoryCopy recordedCopy(const QString& programFolder, const QString& stem) {
    HistoryCopy copy;
    const QString base = QDir(copyFolder(programFolder)).filePath(stem);
    copy.textPath = base + kTextSuffix;
    copy.undoPath = base + kUndoSuffix;
    if (const auto name = parseStem(stem)) {
        copy.taken = name->taken;
        copy.reason = name->reason;
    }
    return copy;
}

std::optional<LishiImage::Read> readRecordedCopy(const HistoryCopy& copy, QString* error) {
    // The .txt beside a copy of an earlier version is not read: the .undo holds every field.
    QString why;
    const auto undo = readChecked(copy.undoPath, copy.undoBytes, copy.undoSum, &why);
    if (!undo)
        return *error = why, std::nullopt;
    auto read = LishiImage::fromBytes(*undo, &why, copy.plainBytes);
    if (!read) {
        *error = QStringLiteral("副本 %1 无法读取：%2")
                     .arg(QDir::toNativeSeparators(copy.undoPath), why);
        return std::nullopt;
    }
    return read;
}

} // namespace quorvex
