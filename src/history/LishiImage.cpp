#include "LishiImage.h"

#include "PredictedRows.h"
#include "SqliteStatement.h"

#include <QCryptographicHash>
#include <QSet>

#include <cstring>
#include <limits>
#include <memory>
#include <sqlite3.h>
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

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Where SQQH and L1A..L5A stand among the columns; -1 where missing.
std::array<int, kPositions + 1> drawColumnsAt(const QStringList& columns) {
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

// What contentHash hashes before the cells.
QByteArray hashHead(const QStringList& columns, qint64 rows) {
    QByteArray head;
    putVarint(head, quint64(columns.size()));
    for (const QString& c : columns)
        putBytes(head, c.toUtf8());
    putVarint(head, quint64(rows));
    return head;
}

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
    const auto at = drawColumnsAt(out.image.columns);
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

std::optional<QByteArray> readNumbersHash(const HistoryStore& store, QString* error,
                                          std::optional<qint64> beforeIssue) {
    // The columns as a full read names them; then the six that hold issues and numbers.
    const auto head = readLishiImage(store, error, std::numeric_limits<qint64>::max());
    if (!head)
        return std::nullopt;
    const auto at = drawColumnsAt(head->columns);
    QStringList wanted;
    for (int c : at)
        wanted << (c < 0 ? QStringLiteral("0") : quoted(head->columns[c]));
    SqliteStatement q(store);
    QVector<DrawNumbers> draws;
    if (q.prepare(QStringLiteral("SELECT %1 FROM Lishi WHERE SQQH < ? ORDER BY SQQH")
                      .arg(wanted.join(QLatin1Char(','))))) {
        q.bind(1, beforeIssue.value_or(std::numeric_limits<qint64>::max()));
        while (q.next()) {
            DrawNumbers& d = draws.emplaceBack();
            d.issue = q.integer(0);
            for (int i = 1; i <= kPositions; ++i)
                d.numbers[i - 1] = int(q.integer(i));
        }
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(q.errorText());
        return std::nullopt;
    }
    return LishiImage::numbersHash(head->columns, draws);
}

namespace {

// One cell of the statement's current row, as the images hold it.
void putCell(std::string& row, const SqliteStatement& q, int c) {
    switch (q.type(c)) {
    case SQLITE_INTEGER:
        putIntegerCell(row, q.integer(c));
        break;
    case SQLITE_FLOAT:
        putRealCell(row, q.real(c));
        break;
    case SQLITE_TEXT:
        putTextCell(row, TextCell, q.utf8(c));
        break;
    case SQLITE_BLOB:
        putTextCell(row, BlobCell, q.blob(c));
        break;
    default:
        putNullCell(row);
    }
}

// As readRows over the whole table, with the columns the writers leave NULL read only in the
// rows where one is not: SQLite checks them, and most of a history's cells never reach this
// program one by one. Nothing when the table cannot be read so (the caller reads it whole).
template <class Take>
std::optional<bool> readRowsLeavingNulls(const HistoryStore& store, LishiImage& image,
                                         QString* error, Take take) {
    SqliteStatement head(store);
    if (!head.prepare(QStringLiteral("SELECT * FROM Lishi WHERE 0")))
        return std::nullopt;
    QStringList columns;
    for (int c = 0; c < head.columnCount(); ++c)
        columns << head.columnName(c);
    const QVector<bool> leftNull = columnsLeftNull(columns);
    QStringList dense, sparse;
    QVector<int> denseAt(columns.size(), -1); // each column's place in the result, after two
    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (leftNull[c]) {
            sparse << quoted(columns[c]);
        } else {
            denseAt[c] = 2 + int(dense.size());
            dense << quoted(columns[c]);
        }
    }
    if (sparse.isEmpty())
        return std::nullopt;
    SqliteStatement q(store), whole(store);
    if (!q.prepare(QStringLiteral("SELECT rowid, coalesce(%1, NULL) IS NOT NULL%2%3 FROM Lishi "
                                  "ORDER BY SQQH")
                       .arg(sparse.join(QLatin1Char(',')),
                            dense.isEmpty() ? QString() : QStringLiteral(","),
                            dense.join(QLatin1Char(',')))) ||
        !whole.prepare(QStringLiteral("SELECT * FROM Lishi WHERE rowid = ?")) ||
        whole.columnCount() != columns.size())
        return std::nullopt;
    image.columns = columns;
    const auto at = drawColumnsAt(columns);
    std::string row;
    QString why;
    while (why.isEmpty() && q.next()) {
        row.clear();
        DrawNumbers d;
        if (q.integer(1) != 0) {
            // A row with something where the writers leave NULL: read whole.
            whole.bind(1, q.integer(0));
            if (!whole.next()) {
                why = whole.lastError().isValid() ? whole.errorText()
                                                  : QStringLiteral("一行在读的时候不见了");
                break;
            }
            for (int c = 0; c < columns.size(); ++c)
                putCell(row, whole, c);
            d.issue = at[0] < 0 ? 0 : whole.integer(at[0]);
            for (int i = 1; i <= kPositions; ++i)
                d.numbers[i - 1] = at[i] < 0 ? 0 : int(whole.integer(at[i]));
            whole.reset();
        } else {
            for (qsizetype c = 0; c < columns.size(); ++c) {
                if (denseAt[c] < 0)
                    putNullCell(row);
                else
                    putCell(row, q, denseAt[c]);
            }
            d.issue = at[0] < 0 ? 0 : q.integer(denseAt[at[0]]);
            for (int i = 1; i <= kPositions; ++i)
                d.numbers[i - 1] = at[i] < 0 ? 0 : int(q.integer(denseAt[at[i]]));
        }
        take(QByteArrayView(row.data(), qsizetype(row.size())));
        image.draws.append(d);
        ++image.rows;
    }
    if (why.isEmpty() && q.lastError().isValid())
        why = q.errorText();
    if (!why.isEmpty()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(why);
        return false;
    }
    return true;
}

// Reads every row of Lishi in issue order (from fromIssue on when given) into image's columns,
// rows and draws, handing each row's cells to take. False and the reason on any error.
template <class Take>
bool readRows(const HistoryStore& store, LishiImage& image, std::optional<qint64> fromIssue,
              QString* error, Take take) {
    SqliteStatement q(store);
    const bool prepared =
        fromIssue ? q.prepare(QStringLiteral("SELECT * FROM Lishi WHERE SQQH >= ? ORDER BY SQQH"))
                  : q.prepare(QStringLiteral("SELECT * FROM Lishi ORDER BY SQQH"));
    if (prepared && fromIssue)
        q.bind(1, *fromIssue);
    if (prepared) {
        const int columns = q.columnCount();
        for (int c = 0; c < columns; ++c)
            image.columns << q.columnName(c);
        const auto at = drawColumnsAt(image.columns);
        // A row is built aside and handed over whole: a history is millions of cells.
        std::string row;
        while (q.next()) {
            row.clear();
            for (int c = 0; c < columns; ++c)
                putCell(row, q, c);
            take(QByteArrayView(row.data(), qsizetype(row.size())));
            DrawNumbers d;
            d.issue = at[0] < 0 ? 0 : q.integer(at[0]);
            for (int i = 1; i <= kPositions; ++i)
                d.numbers[i - 1] = at[i] < 0 ? 0 : int(q.integer(at[i]));
            image.draws.append(d);
            ++image.rows;
        }
    }
    // next() also ends on an error: only a clean end means every row was read.
    if (q.lastError().isValid()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(q.errorText());
        return false;
    }
    return true;
}

} // namespace

std::optional<LishiImage> readLishiImage(const HistoryStore& store, QString* error,
                                         std::optional<qint64> fromIssue) {
    LishiImage image;
    if (!readRows(store, image, fromIssue, error,
                  [&image](QByteArrayView row) { image.cells.append(row); }))
        return std::nullopt;
    return image;
}

std::optional<LishiImage> readLishiDigest(const HistoryStore& store, QString* error) {
    // The hash names the row count before the cells.
    SqliteStatement count(store);
    if (!count.prepare(QStringLiteral("SELECT COUNT(*) FROM Lishi")) || !count.next()) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：%1").arg(count.errorText());
        return std::nullopt;
    }
    const qint64 rows = count.integer(0);
    LishiImage image;
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    std::unique_ptr<PredictedRowsWriter> packer;
    bool whole = true;
    auto take = [&](QByteArrayView row) {
        if (!packer) {
            hash.addData(hashHead(image.columns, rows));
            packer = std::make_unique<PredictedRowsWriter>(image.columns);
        }
        hash.addData(row);
        CellReader in(row);
        whole = whole && packer->add(in) && in.atEnd();
    };
    std::optional<bool> read = readRowsLeavingNulls(store, image, error, take);
    if (!read)
        read = readRows(store, image, std::nullopt, error, take);
    if (!*read)
        return std::nullopt;
    if (!whole || image.rows != rows) {
        if (error)
            *error = QStringLiteral("无法读取历史号码：读出的行数与表中的不符");
        return std::nullopt;
    }
    if (!packer)
        hash.addData(hashHead(image.columns, rows));
    image.digest = hash.result();
    image.packedRows = packer ? packer->bytes() : QByteArray("");
    return image;
}

bool writeLishiImage(HistoryStore& store, const LishiImage& image, QString* error) {
    return store.Delrec(error) && insertLishiRows(store, image, error);
}

namespace {

// Where each row's cells begin, and the end: rows + 1 offsets; nothing when the cells are not
// whole.
std::optional<QVector<qsizetype>> rowStarts(const LishiImage& image) {
    QVector<qsizetype> starts{0};
    starts.reserve(image.rows + 1);
    CellReader in(image.cells);
    for (qint64 r = 0; r < image.rows; ++r) {
        for (qsizetype c = 0; c < image.columns.size(); ++c)
            readCell(in);
        starts.append(in.position());
    }
    if (in.failed() || !in.atEnd() || image.draws.size() != image.rows)
        return std::nullopt;
    return starts;
}

} // namespace

std::optional<qint64> firstDifferingIssue(const LishiImage& a, const LishiImage& b) {
    if (a.columns != b.columns)
        return std::nullopt;
    const auto startsA = rowStarts(a);
    const auto startsB = rowStarts(b);
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

bool rewriteLishiImage(HistoryStore& store, const LishiImage& now, const LishiImage& target,
                       QString* error) {
    const auto a = rowStarts(now);
    const auto b = rowStarts(target);
    if (now.columns != target.columns || !a || !b)
        return writeLishiImage(store, target, error);
    auto row = [](const LishiImage& image, const QVector<qsizetype>& starts, qsizetype r) {
        return QByteArrayView(image.cells).sliced(starts[r], starts[r + 1] - starts[r]);
    };
    // Both in issue order: one pass finds the rows only one holds or that differ.
    QVector<qint64> drop;
    LishiImage add;
    add.columns = target.columns;
    qsizetype i = 0, j = 0;
    while (i < now.rows || j < target.rows) {
        const bool nowFirst =
            j == target.rows || (i < now.rows && now.draws[i].issue < target.draws[j].issue);
        const bool targetFirst =
            i == now.rows || (j < target.rows && target.draws[j].issue < now.draws[i].issue);
        const bool differs = !nowFirst && !targetFirst && row(now, *a, i) != row(target, *b, j);
        if (nowFirst || differs)
            drop.append(now.draws[i].issue);
        if (targetFirst || differs) {
            add.cells.append(row(target, *b, j));
            ++add.rows;
        }
        i += !targetFirst;
        j += !nowFirst;
    }
    // Most rows differ: rewriting all of them is quicker than row by row.
    if (drop.size() > now.rows / 2)
        return writeLishiImage(store, target, error);
    SqliteStatement remove(store);
    if (!remove.prepare(QStringLiteral("DELETE FROM Lishi WHERE SQQH = ?"))) {
        if (error)
            *error = remove.errorText();
        return false;
    }
    for (qint64 issue : drop) {
        remove.bind(1, issue);
        if (!remove.exec() || remove.changes() != 1) {
            if (error)
                *error = remove.lastError().isValid()
                             ? remove.errorText()
                             : QStringLiteral("第 %1 期不在历史号码中").arg(issue);
            return false;
        }
    }
    return insertLishiRows(store, add, error);
}

bool insertLishiRows(HistoryStore& store, const LishiImage& image, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    SqliteStatement info(store);
    QSet<QString> have;
    if (info.prepare(QStringLiteral("PRAGMA table_info(Lishi)")))
        while (info.next())
            have.insert(info.text(1).toLower());
    if (info.lastError().isValid())
        return fail(QStringLiteral("无法读取历史数据库的表结构：%1").arg(info.errorText()));
    QStringList names, marks;
    for (const QString& c : image.columns) {
        if (!have.contains(c.toLower()))
            return fail(QStringLiteral("历史数据库没有副本中的字段 %1").arg(c));
        names << quoted(c);
        marks << QStringLiteral("?");
    }
    SqliteStatement insert(store);
    if (!insert.prepare(QStringLiteral("INSERT INTO Lishi (%1) VALUES (%2)")
                            .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
        return fail(insert.errorText());
    CellReader in(image.cells);
    const int columns = int(image.columns.size());
    for (qint64 r = 0; r < image.rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const Cell cell = readCell(in);
            switch (cell.tag) {
            case IntegerCell:
                insert.bind(c + 1, cell.integer);
                break;
            case RealCell:
                insert.bindReal(c + 1, cell.real);
                break;
            case TextCell:
                insert.bindUtf8(c + 1, cell.bytes);
                break;
            case BlobCell:
                insert.bindBlob(c + 1, cell.bytes);
                break;
            default:
                insert.bindNull(c + 1);
            }
        }
        if (in.failed())
            return fail(QStringLiteral("副本已损坏（内容不完整）"));
        if (!insert.exec())
            return fail(insert.errorText());
    }
    return true;
}

} // namespace quorvex
