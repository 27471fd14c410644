#include "LishiImage.h"

#include "PredictedRows.h"

#include <QCryptographicHash>

#include <string>
#include <zlib.h>

namespace quorvex {

// The bytes of an image: the magic line, then zlib (qCompress) of the header and the rows.
// Header: the time taken (milliseconds since the epoch), the reason, the column names, the row
// count. The rows: in form 1 every cell (CellCoding.h), in form 2 what differs from what the
// writers derive (PredictedRows.h). Form 1 stays readable: copies and steps of earlier versions
// hold it.

namespace {

const QByteArray kMagic1 = QByteArrayLiteral("QUORVEX-LISHI 1\n");
const QByteArray kMagic2 = QByteArrayLiteral("QUORVEX-LISHI 2\n");

// qCompress's form (the plain size, four bytes big-endian, then a zlib stream) with the bytes
// coded one by one, never matched against earlier ones. Any zlib stream reads back alike.
QByteArray huffmanOnly(const QByteArray& plain) {
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, MAX_WBITS, 8, Z_HUFFMAN_ONLY) != Z_OK)
        return qCompress(plain, 1);
    const uLong bound = deflateBound(&z, uLong(plain.size()));
    QByteArray out(qsizetype(4 + bound), Qt::Uninitialized);
    const quint32 size = quint32(plain.size());
    for (int i = 0; i < 4; ++i)
        out[i] = char(size >> (24 - 8 * i));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = uInt(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data() + 4);
    z.avail_out = uInt(bound);
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.resize(4 + qsizetype(z.total_out));
    deflateEnd(&z);
    return done ? out : qCompress(plain, 1);
}

} // namespace

QByteArray LishiImage::toBytes(const QDateTime& taken, const QString& reason) const {
    QByteArray payload;
    putInteger(payload, taken.toMSecsSinceEpoch());
    putBytes(payload, reason.toUtf8());
    putVarint(payload, quint64(columns.size()));
    for (const QString& c : columns)
        putBytes(payload, c.toUtf8());
    putVarint(payload, quint64(rows));
    // Cells that are not whole rows cannot be predicted: they are kept as they are.
    const std::optional<QByteArray> predicted =
        packedRows.isNull() ? encodePredictedRows(columns, cells, rows) : packedRows;
    payload += predicted ? *predicted : cells;
    // Level 1: more effort saves little and costs time. Rows that all re-derive are little but
    // their numbers, near random: searching them for repeats costs twice the time for nothing.
    const bool numbersOnly = predicted && payload.size() <= 8 * rows + 1024;
    return (predicted ? kMagic2 : kMagic1) +
           (numbersOnly ? huffmanOnly(payload) : qCompress(payload, 1));
}

std::optional<LishiImage::Read> LishiImage::fromBytes(const QByteArray& bytes, QString* error,
                                                      qint64 maxPlainBytes) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const bool predicted = bytes.startsWith(kMagic2);
    if (!predicted && !bytes.startsWith(kMagic1))
        return fail(QStringLiteral("不是本程序保存的历史号码副本"));
    // qCompress's form: the plain size (four bytes, big-endian), then a zlib stream. zlib is
    // called directly so that a damaged stream is our message, not a library's line on stderr,
    // and the plain size is checked before anything is allocated for it.
    const QByteArrayView packed = QByteArrayView(bytes).sliced(kMagic1.size());
    if (packed.size() < 5)
        return fail(QStringLiteral("副本已损坏，无法解压"));
    const quint64 plainSize = (quint64(quint8(packed[0])) << 24) |
                              (quint64(quint8(packed[1])) << 16) |
                              (quint64(quint8(packed[2])) << 8) | quint64(quint8(packed[3]));
    if (plainSize == 0 || plainSize > quint64(maxPlainBytes))
        return fail(QStringLiteral("副本已损坏（解压后的大小不对）"));
    QByteArray payload(qsizetype(plainSize), Qt::Uninitialized);
    uLongf got = uLongf(plainSize);
    if (uncompress(reinterpret_cast<Bytef*>(payload.data()), &got,
                   reinterpret_cast<const Bytef*>(packed.data()) + 4,
                   uLong(packed.size() - 4)) != Z_OK ||
        got != plainSize)
        return fail(QStringLiteral("副本已损坏，无法解压"));
    CellReader in(payload);
    Read out;
    out.taken = QDateTime::fromMSecsSinceEpoch(in.integer());
    out.reason = QString::fromUtf8(in.sized());
    const quint64 columnCount = in.varint();
    if (in.failed() || columnCount == 0 || columnCount > 10000)
        return fail(QStringLiteral("副本已损坏（列数不对）"));
    for (quint64 c = 0; c < columnCount && !in.failed(); ++c)
        out.image.columns << QString::fromUtf8(in.sized());
    const quint64 rows = in.varint();
    if (in.failed() || rows > quint64(payload.size()))
        return fail(QStringLiteral("副本已损坏（表头不完整）"));
    out.image.rows = qint64(rows);

    if (predicted) {
        if (!decodePredictedRows(out.image.columns, out.image.rows, in, kMaxPlainBytes,
                                 &out.image.cells, &out.image.draws, &out.image.derivedUnder) ||
            !in.atEnd())
            return fail(QStringLiteral("副本已损坏（内容不完整）"));
        return out;
    }
    // Every cell is walked once: the structure is checked and the draws are read on the way.
    const qsizetype begin = in.position();
    const auto at = LishiImage::drawColumnsAt(out.image.columns);
    out.image.draws.reserve(qsizetype(rows));
    for (quint64 r = 0; r < rows && !in.failed(); ++r) {
        DrawNumbers d;
        for (int c = 0; c < int(columnCount); ++c) {
            const Cell cell = readCell(in);
            const qint64 v = cell.tag == IntegerCell ? cell.integer : 0;
            if (c == at[0])
                d.issue = v;
            for (int i = 1; i <= kPositions; ++i)
                if (c == at[i])
                    d.numbers[i - 1] = int(v);
        }
        out.image.draws.append(d);
    }
    if (in.failed() || !in.atEnd())
        return fail(QStringLiteral("副本已损坏（内容不完整）"));
    out.image.cells = payload.mid(begin);
    return out;
}

QByteArray LishiImage::contentHash() const {
    if (!digest.isEmpty())
        return digest;
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    hash.addData(hashHead(columns, rows));
    // Read without its cells (readDerivedDigest): they are the writers' derivation.
    if (cells.isEmpty() && rows > 0 && derivedUnder)
        return derivedHash(columns, draws, *derivedUnder);
    hash.addData(cells);
    return hash.result();
}

QByteArray LishiImage::derivedHash(const QStringList& columns, const QVector<DrawNumbers>& draws,
                                   int bases) {
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    hash.addData(hashHead(columns, draws.size()));
    deriveRowCells(columns, draws, bases, [&hash](QByteArrayView row) { hash.addData(row); });
    return hash.result();
}

QByteArray LishiImage::numbersHash() const {
    return numbersHash(columns, draws);
}

QByteArray LishiImage::numbersHash(const QStringList& columns, const QVector<DrawNumbers>& draws) {
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    std::string bytes;
    putVarint(bytes, quint64(columns.size()));
    for (const QString& c : columns)
        putBytes(bytes, c.toUtf8());
    putVarint(bytes, quint64(draws.size()));
    // Written in place, as putInteger would: a commit hashes every draw twice.
    constexpr std::size_t kMostPerDraw = 10 * (kPositions + 1);
    const std::size_t start = bytes.size();
    bytes.resize(start + std::size_t(draws.size()) * kMostPerDraw);
    char* at = bytes.data() + start;
    const auto put = [&at](qint64 v) {
        quint64 z = zigzag(v);
        for (; z >= 0x80; z >>= 7)
            *at++ = char(z | 0x80);
        *at++ = char(z);
    };
    for (const DrawNumbers& d : draws) {
        put(d.issue);
        for (int n : d.numbers)
            put(n);
    }
    hash.addData(QByteArrayView(bytes.data(), at - bytes.data()));
    return hash.result();
}

std::array<int, kPositions + 1> LishiImage::drawColumnsAt(const QStringList& columns) {
    auto at = [&columns](const QString& name) {
        for (qsizetype c = 0; c < columns.size(); ++c)
            if (columns[c].compare(name, Qt::CaseInsensitive) == 0)
                return int(c);
        return -1;
    };
    std::array<int, kPositions + 1> out{};
    out[0] = at(QStringLiteral("SQQH"));
    for (int i = 1; i <= kPositions; ++i)
        out[i] = at(attributeColumn(i, Number));
    return out;
}

QByteArray LishiImage::hashHead(const QStringList& columns, qint64 rows) {
    QByteArray head;
    putVarint(head, quint64(columns.size()));
    for (const QString& c : columns)
        putBytes(head, c.toUtf8());
    putVarint(head, quint64(rows));
    return head;
}

std::optional<QVector<qsizetype>> LishiImage::rowStarts() const {
    QVector<qsizetype> starts{0};
    starts.reserve(rows + 1);
    CellReader in(cells);
    for (qint64 r = 0; r < rows; ++r) {
        for (qsizetype c = 0; c < columns.size(); ++c)
            readCell(in);
        starts.append(in.position());
    }
    if (in.failed() || !in.atEnd() || draws.size() != rows)
        return std::nullopt;
    return starts;
}

std::optional<qint64> firstDifferingIssue(const LishiImage& a, const LishiImage& b) {
    if (a.columns != b.columns)
        return std::nullopt;
    const auto startsA = a.rowStarts();
    const auto startsB = b.rowStarts();
    if (!startsA || !startsB)
        return std::nullopt;
    const qint64 common = std::min(a.rows, b.rows);
    for (qint64 r = 0; r < common; ++r) {
        const QByteArrayView rowA(a.cells.constData() + (*startsA)[r],
                                  (*startsA)[r + 1] - (*startsA)[r]);
        const QByteArrayView rowB(b.cells.constData() + (*startsB)[r],
                                  (*startsB)[r + 1] - (*startsB)[r]);
        if (a.draws[r].issue != b.draws[r].issue || rowA != rowB)
            return std::min(a.draws[r].issue, b.draws[r].issue);
    }
    if (a.rows != b.rows)
        return (a.rows > common ? a : b).draws[common].issue;
    return std::nullopt;
}

} // namespace quorvex
