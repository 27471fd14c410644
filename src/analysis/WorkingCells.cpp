#include "WorkingCells.h"

#include "history/SqliteStatement.h"

#include <QScopeGuard>
#include <QSet>

#include <sqlite3.h>

#include <map>
#include <memory>
#include <string_view>
#include <tuple>

namespace quorvex {

using Mirror = HistoryMirror;

WorkingCells::WorkingCells(HistoryMirror& mirror)
    : mirror_(mirror), changed_(std::size_t(mirror.rows()), {0, 0}) {}

qsizetype WorkingCells::changedRows() const {
    return std::count_if(changed_.begin(), changed_.end(),
                         [](const auto& m) { return (m[0] | m[1]) != 0; });
}

namespace {

using Mask = std::array<quint64, 2>;

// What the functions of one write read: the mirror, and the rows of the mask being written.
struct ScanContext {
    const HistoryMirror* mirror;
    const std::vector<Mask>* changed;
    Mask mask{};
    qint64 issue = -1; // the row the scan is on
    qsizetype row = -1;
};

// The write under way on this thread. The functions stay registered on a connection once
// registered: SQLite refuses to change or drop a function while any statement of the
// connection is still reading.
thread_local ScanContext* activeScan = nullptr;

// The mirror row of the issue in args[0]; -1 when there is none, with the function's error set
// when no write is under way. The scan visits rows in issue order and asks for each several
// times.
qsizetype scanRow(sqlite3_context* context, sqlite3_value** args) {
    if (!activeScan) {
        sqlite3_result_error(context, "no write under way", -1);
        return -1;
    }
    ScanContext& c = *activeScan;
    const qint64 issue = sqlite3_value_int64(args[0]);
    if (issue == c.issue)
        return c.row;
    const qsizetype next = c.row + 1;
    qsizetype row = -1;
    if (next < c.mirror->rows() && c.mirror->issue(next) == issue) {
        row = next;
    } else {
        const auto [begin, end] = c.mirror->rowsBetween(issue, issue);
        row = begin < end ? begin : -1;
    }
    c.issue = issue;
    c.row = row;
    return row;
}

// quorvex_pick(SQQH): 1 on the rows whose changed columns are the mask being written.
void pick(sqlite3_context* context, int, sqlite3_value** args) {
    const qsizetype row = scanRow(context, args);
    if (activeScan)
        sqlite3_result_int(context, row >= 0 && (*activeScan->changed)[std::size_t(row)] ==
                                                    activeScan->mask);
}

// quorvex_cell(SQQH, column): the mirror's value of a cell.
void cell(sqlite3_context* context, int, sqlite3_value** args) {
    const qsizetype row = scanRow(context, args);
    if (!activeScan)
        return;
    const ScanContext& c = *activeScan;
    const int column = sqlite3_value_int(args[1]);
    if (row < 0 || column < 0 || column >= Mirror::kColumns) {
        sqlite3_result_error(context, "no such cell", -1);
        return;
    }
    const qint32 v = c.mirror->raw(column, row);
    if (Mirror::isText(column) ? v == Mirror::kNullText : v == Mirror::kNull) {
        sqlite3_result_null(context);
    } else if (Mirror::isText(column)) {
        const QByteArrayView text = c.mirror->textOf(v);
        sqlite3_result_text(context, text.data(), int(text.size()), SQLITE_STATIC);
    } else {
        sqlite3_result_int(context, v);
    }
}

} // namespace

bool WorkingCells::write(HistoryStore& store, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = store.isDamaged() ? why : QStringLiteral("检索失败：%1").arg(why);
        return false;
    };
    std::map<Mask, qint64> rowsOfMask;
    for (const Mask& mask : changed_)
        if ((mask[0] | mask[1]) != 0)
            ++rowsOfMask[mask];
    if (rowsOfMask.empty())
        return true;
    sqlite3* db = sqliteHandle(store);
    if (!db)
        return fail(QStringLiteral("历史数据库没有打开。"));
    // Connection names are unique for the life of the program.
    static QSet<QString> withFunctions;
    const QString connection = store.database().connectionName();
    if (!withFunctions.contains(connection)) {
        for (const auto& [name, args, function] :
             {std::tuple{"quorvex_pick", 1, &pick}, std::tuple{"quorvex_cell", 2, &cell}})
            if (sqlite3_create_function_v2(db, name, args, SQLITE_UTF8, nullptr, function, nullptr,
                                           nullptr, nullptr) != SQLITE_OK)
                return fail(QString::fromUtf8(sqlite3_errmsg(db)));
        withFunctions.insert(connection);
    }
    ScanContext context{&mirror_, &changed_};
    activeScan = &context;
    const auto done = qScopeGuard([] { activeScan = nullptr; });
    // One pass over the table per set of changed columns: the rows are rewritten in order,
    // without a key lookup each.
    for (const auto& [mask, rows] : rowsOfMask) {
        QStringList setters;
        for (int c = 0; c < Mirror::kColumns; ++c)
            if (mask[c / 64] & (quint64(1) << (c % 64)))
                setters << QStringLiteral("%1 = quorvex_cell(SQQH, %2)")
                               .arg(Mirror::columnName(c))
                               .arg(c);
        SqliteStatement update(store);
        context.mask = mask;
        context.issue = -1;
        context.row = -1;
        if (!update.prepare(QStringLiteral("UPDATE Lishi SET %1 WHERE quorvex_pick(SQQH)")
                                .arg(setters.join(QStringLiteral(", ")))) ||
            !update.exec())
            return fail(update.errorText());
        // Every row was read in this transaction: fewer rows written means the mirror and the
        // file disagree, and nothing may be reported as written.
        if (update.changes() != rows)
            return fail(QStringLiteral("历史号码与内存中的副本不一致，没有写入。"));
    }
    return true;
}

namespace {

// Row k (0-based) takes the texts of row k - (n - 1) where there is one with k + 1 >= from;
// the first row keeps its own; the rows between get an empty text.
void lagTexts(WorkingCells& cells, int source, int target, int n, int from) {
    HistoryMirror& m = cells.mirror();
    const qint32 empty = m.emptyText();
    for (qsizetype row = 1; row < m.rows(); ++row) {
        const qsizetype rn = row + 1;
        cells.set(target, row, rn >= from ? m.raw(source, row - (n - 1)) : empty);
    }
    if (n == 1 && from <= 1 && m.rows() > 0)
        cells.set(target, 0, m.raw(source, 0));
}

} // namespace

QVector<int> laggedListColumns() {
    QVector<int> columns{Mirror::kTxtHisLst, Mirror::kTxtHisPreLst};
    for (int kind = 0; kind < kKindCount; ++kind)
        columns << Mirror::kCode + kind << Mirror::kPreCode + kind;
    return columns;
}

QVector<int> comparisonColumns(bool lastDraw) {
    QVector<int> columns;
    for (int c = 0; c < 30; ++c)
        columns << Mirror::kAttribute + c << (lastDraw ? Mirror::kLastDraw : Mirror::kPreDraw) + c;
    if (!lastDraw)
        columns << Mirror::kTxtHisLst << Mirror::kTxtHisPreLst;
    return columns;
}

void deriveLaggedLists(WorkingCells& cells, int n) {
    lagTexts(cells, Mirror::kTxtHisLst, Mirror::kTxtHisPreLst, n, n);
    for (int kind = 0; kind < kKindCount; ++kind)
        lagTexts(cells, Mirror::kCode + kind, Mirror::kPreCode + kind, n, n);
}

void deriveComparisonColumns(WorkingCells& cells, bool lastDraw, int n) {
    HistoryMirror& m = cells.mirror();
    const int lag = lastDraw ? 1 : n;
    const int base = lastDraw ? Mirror::kLastDraw : Mirror::kPreDraw;
    for (int c = 0; c < 30; ++c) {
        const auto& source = m.column(Mirror::kAttribute + c);
        for (qsizetype row = 0; row < m.rows(); ++row) {
            const qint32 v = row >= lag ? source[row - lag] : 0;
            cells.set(base + c, row, v == Mirror::kNull ? 0 : v);
        }
    }
    // The match grid of 前N期 shows txtHisPreLst; here the first row always keeps its text.
    if (!lastDraw)
        lagTexts(cells, Mirror::kTxtHisLst, Mirror::kTxtHisPreLst, n, std::max(2, n));
}

QByteArray freeToken(int kind, int value, int count, bool numberWithCount) {
    const QByteArray v = kindValueText(kind, value).toLatin1();
    if (kind == Number && !numberWithCount)
        return v;
    return QByteArray::number(count) + 'X' + v;
}

std::vector<qint32> tokenHits(const HistoryMirror& mirror, int textColumn,
                              const QByteArrayList& tokens) {
    std::vector<std::string_view> wanted;
    for (const QByteArray& token : tokens)
        wanted.emplace_back(token.constData(), std::size_t(token.size()));
    const auto& ids = mirror.column(textColumn);
    std::vector<qint32> hits(ids.size(), 0);
    for (std::size_t row = 0; row < ids.size(); ++row) {
        const QByteArrayView view = mirror.textOf(ids[row]);
        const std::string_view text(view.data(), std::size_t(view.size()));
        qint32 found = 0;
        for (const std::string_view& token : wanted)
            found += text.find(token) != std::string_view::npos ? 1 : 0;
        hits[row] = found;
    }
    return hits;
}

std::vector<qint32> equalityHits(const HistoryMirror& mirror, const QVector<int>& columns,
                                 const QVector<int>& values) {
    std::vector<qint32> hits(std::size_t(mirror.rows()), 0);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const auto& cells = mirror.column(columns[i]);
        const qint32 v = values[i];
        for (std::size_t row = 0; row < hits.size(); ++row)
            hits[row] += cells[row] == v ? 1 : 0;
    }
    return hits;
}

} // namespace quorvex
