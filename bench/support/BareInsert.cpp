#include "BareInsert.h"

#include "draw/AttributeKind.h"
#include "store/HistorySchema.h"
#include "store/SqliteStatement.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace quorvex::bench {

namespace {

QStringList writtenColumns() {
    QStringList cols{QStringLiteral("SQQH"), QStringLiteral("QQH")};
    cols << attributeColumns() << QStringLiteral("txtHisLst");
    for (int k = 0; k < kKindCount; ++k)
        cols << codeColumn(k);
    return cols;
}

bool check(sqlite3* db, int rc, const char* what) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    return false;
}

} // namespace

std::optional<WrittenRows> readWrittenRows(const HistoryStore& store) {
    sqlite3* db = sqliteHandle(store);
    if (!db)
        return std::nullopt;
    WrittenRows rows;
    rows.columns = writtenColumns();
    const QByteArray sql = QStringLiteral("SELECT %1 FROM Lishi ORDER BY SQQH")
                               .arg(rows.columns.join(QLatin1Char(',')))
                               .toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (!check(db, sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr), "read rows"))
        return std::nullopt;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < int(rows.columns.size()); ++c) {
            WrittenRows::Cell cell;
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                cell.type = WrittenRows::Cell::Integer;
                cell.integer = sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_NULL:
                break;
            default:
                cell.type = WrittenRows::Cell::Text;
                cell.text = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                       sqlite3_column_bytes(stmt, c));
            }
            rows.cells.append(cell);
        }
        ++rows.rowCount;
    }
    const bool ok = check(db, rc, "read rows");
    sqlite3_finalize(stmt);
    return ok ? std::optional(rows) : std::nullopt;
}

std::optional<double> timeBareInsert(const WrittenRows& rows) {
    QTemporaryDir folder;
    HistoryStore store;
    QString error;
    if (!store.open(folder.path(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return std::nullopt;
    }
    sqlite3* db = sqliteHandle(store);
    QStringList marks;
    for (qsizetype i = 0; i < rows.columns.size(); ++i)
        marks << QStringLiteral("?");
    const QByteArray sql =
        QStringLiteral("INSERT INTO Lishi (%1) VALUES (%2)")
            .arg(rows.columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
            .toUtf8();
    const int width = int(rows.columns.size());

    QElapsedTimer timer;
    timer.start();
    if (!check(db, sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), "begin"))
        return std::nullopt;
    sqlite3_stmt* stmt = nullptr;
    bool ok = check(db, sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr), "prepare");
    for (int r = 0; ok && r < rows.rowCount; ++r) {
        const WrittenRows::Cell* row = rows.cells.constData() + qsizetype(r) * width;
        for (int c = 0; c < width; ++c) {
            const WrittenRows::Cell& cell = row[c];
            if (cell.type == WrittenRows::Cell::Integer)
                sqlite3_bind_int64(stmt, c + 1, cell.integer);
            else if (cell.type == WrittenRows::Cell::Text)
                sqlite3_bind_text(stmt, c + 1, cell.text.constData(), int(cell.text.size()),
                                  SQLITE_STATIC);
            else
                sqlite3_bind_null(stmt, c + 1);
        }
        ok = check(db, sqlite3_step(stmt), "insert");
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    ok = ok && check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    const double ms = timer.nsecsElapsed() / 1e6;
    if (!ok) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return std::nullopt;
    }
    return ms;
}

} // namespace quorvex::bench
