#include "WorkingCells.h"

#include "history/SqliteStatement.h"

#include <map>
#include <memory>
#include <string_view>

namespace quorvex {

using Mirror = HistoryMirror;

WorkingCells::WorkingCells(HistoryMirror& mirror)
    : mirror_(mirror), changed_(std::size_t(mirror.rows()), {0, 0}) {}

qsizetype WorkingCells::changedRows() const {
    return std::count_if(changed_.begin(), changed_.end(),
                         [](const auto& m) { return (m[0] | m[1]) != 0; });
}

bool WorkingCells::write(HistoryStore& store, QString* error) {
    std::map<std::array<quint64, 2>, std::pair<std::unique_ptr<SqliteStatement>, QVector<int>>>
        statements;
    for (qsizetype row = 0; row < mirror_.rows(); ++row) {
        const auto& mask = changed_[row];
        if ((mask[0] | mask[1]) == 0)
            continue;
        auto& [statement, columns] = statements[mask];
        if (!statement) {
            QStringList setters;
            for (int c = 0; c < Mirror::kColumns; ++c) {
                if (mask[c / 64] & (quint64(1) << (c % 64))) {
                    columns << c;
                    setters << Mirror::columnName(c) + QStringLiteral(" = ?");
                }
            }
            statement = std::make_unique<SqliteStatement>(store);
            if (!statement->prepare(QStringLiteral("UPDATE Lishi SET %1 WHERE SQQH = ?")
                                        .arg(setters.join(QStringLiteral(", "))))) {
                if (error)
                    *error = QStringLiteral("检索语句无效：%1").arg(statement->errorText());
                return false;
            }
        }
        int at = 0;
        for (const int c : columns) {
            ++at;
            const qint32 v = mirror_.raw(c, row);
            if (Mirror::isText(c) ? v == Mirror::kNullText : v == Mirror::kNull)
                statement->bindNull(at);
            else if (Mirror::isText(c))
                statement->bindUtf8(at, mirror_.textOf(v));
            else
                statement->bind(at, qint64(v));
        }
        statement->bind(at + 1, mirror_.issue(row));
        if (!statement->exec()) {
            if (error) {
                const QString why = statement->errorText();
                *error = store.isDamaged() ? why : QStringLiteral("检索失败：%1").arg(why);
            }
            return false;
        }
        // The row was read in this transaction; an update that finds nothing means the
        // mirror and the file disagree, and nothing may be reported as written.
        if (statement->changes() != 1) {
            if (error)
                *error =
                    QStringLiteral("检索失败：第 %1 期不在历史数据库中。").arg(mirror_.issue(row));
            return false;
        }
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
