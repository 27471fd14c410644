#include "LishiTable.h"

#include "image/CellCoding.h"
#include "image/PredictedRows.h"
#include "SqliteStatement.h"

#include <QCryptographicHash>
#include <QSet>

#include <limits>
#include <memory>
#include <sqlite3.h>
#include <string>

namespace quorvex {

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

} // namespace

std::optional<QByteArray> readNumbersHash(const HistoryStore& store, QString* error,
                                          std::optional<qint64> beforeIssue) {
    // The columns as a full read names them; then the six that hold issues and numbers.
    const auto head = readLishiImage(store, error, std::numeric_limits<qint64>::max());
    if (!head)
        return std::nullopt;
    const auto at = LishiImage::drawColumnsAt(head->columns);
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
    const auto at = LishiImage::drawColumnsAt(columns);
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
        const auto at = LishiImage::drawColumnsAt(image.columns);
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
            hash.addData(LishiImage::hashHead(image.columns, rows));
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
        hash.addData(LishiImage::hashHead(image.columns, rows));
    image.digest = hash.result();
    image.packedRows = packer ? packer->bytes() : QByteArray("");
    return image;
}

bool writeLishiImage(HistoryStore& store, const LishiImage& image, QString* error) {
    return store.Delrec(error) && insertLishiRows(store, image, error);
}

bool rewriteLishiImage(HistoryStore& store, const LishiImage& now, const LishiImage& target,
                       QString* error) {
    const auto a = now.rowStarts();
    const auto b = target.rowStarts();
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

std::optional<LishiImage> readIssuesAndNumbers(const HistoryStore& store) {
    LishiImage image;
    SqliteStatement head(store);
    if (!head.prepare(QStringLiteral("SELECT * FROM Lishi WHERE 0")))
        return std::nullopt;
    for (int c = 0; c < head.columnCount(); ++c)
        image.columns << head.columnName(c);
    QStringList packed;
    for (int i = 1; i <= kPositions; ++i)
        packed << QStringLiteral("(%1 << %2)").arg(attributeColumn(i, Number)).arg(8 * (i - 1));
    SqliteStatement q(store);
    if (!q.prepare(QStringLiteral("SELECT SQQH, %1 FROM Lishi ORDER BY SQQH")
                       .arg(packed.join(QLatin1Char('|')))))
        return std::nullopt;
    while (q.next()) {
        DrawNumbers& d = image.draws.emplaceBack();
        d.issue = q.integer(0);
        // A row the writers wrote has an issue they store (packed rows take the zodiac of issue
        // 0 for any other) and five numbers of 1..15.
        const quint64 numbers = quint64(q.integer(1));
        if (d.issue < 0 || d.issue >= 10'000'000'000LL || numbers >> 8 * kPositions != 0)
            return std::nullopt;
        for (int i = 0; i < kPositions; ++i) {
            d.numbers[std::size_t(i)] = int(numbers >> 8 * i & 0xff);
            if (d.numbers[std::size_t(i)] < 1 || d.numbers[std::size_t(i)] > 15)
                return std::nullopt;
        }
    }
    if (q.lastError().isValid())
        return std::nullopt;
    return image;
}

bool deleteRowsFrom(HistoryStore& store, qint64 issue, QString* error) {
    SqliteStatement q(store);
    if (q.prepare(QStringLiteral("DELETE FROM Lishi WHERE SQQH >= ?"))) {
        q.bind(1, issue);
        if (q.exec())
            return true;
    }
    *error = q.errorText();
    return false;
}

} // namespace quorvex
