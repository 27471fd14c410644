#include "HistoryMirror.h"

#include "history/SqliteStatement.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>

namespace quorvex {

namespace {

// One mirror per connection; a reopened history gets a new connection name. Two are kept, so
// a closed history's copy does not stay in memory for long.
struct Entry {
    QString connection;
    std::shared_ptr<HistoryMirror> mirror;
};
std::vector<Entry>& registry() {
    static std::vector<Entry> entries;
    return entries;
}
constexpr std::size_t kKeptMirrors = 2;

quint64 nextGeneration() {
    static quint64 last = 0;
    return ++last;
}

} // namespace

QString HistoryMirror::columnName(int c) {
    if (c < kLastDraw)
        return attributeColumn(c / 6 + 1, c % 6);
    if (c < kIntTh) {
        const int at = (c - kLastDraw) % 30;
        return laggedColumn(at / 6 + 1, at % 6, c < kPreDraw ? QLatin1Char('S') : QLatin1Char('P'));
    }
    if (c == kIntTh)
        return QStringLiteral("intTh");
    if (c == kBolOk)
        return QStringLiteral("bolOk");
    if (c == kTxtHisLst)
        return QStringLiteral("txtHisLst");
    if (c < kTxtHisPreLst)
        return codeColumn(c - kCode);
    if (c == kTxtHisPreLst)
        return QStringLiteral("txtHisPreLst");
    if (c < kTxtHisP6)
        return preCodeColumn(c - kPreCode);
    return QStringLiteral("txtHisP6");
}

std::shared_ptr<HistoryMirror> HistoryMirror::current(HistoryStore& store,
                                                      const QVector<int>& columns, QString* error) {
    const QString connection = store.database().connectionName();
    auto& entries = registry();
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.connection == connection; });
    if (it == entries.end()) {
        if (entries.size() >= kKeptMirrors)
            entries.erase(entries.begin());
        entries.push_back({connection, std::make_shared<HistoryMirror>()});
    } else {
        std::rotate(it, it + 1, entries.end()); // most recently used last
    }
    std::shared_ptr<HistoryMirror> mirror = entries.back().mirror;
    const auto marks = marksOf(store);
    if (!marks) {
        if (error)
            *error = QStringLiteral("无法读取历史数据库的状态。");
        return nullptr;
    }
    if (!mirror->valid_ || marks->totalChanges != mirror->marks_.totalChanges ||
        marks->dataVersion != mirror->marks_.dataVersion)
        mirror->reset();
    if (!mirror->require(store, columns, error))
        return nullptr;
    mirror->marks_ = *marks;
    return mirror;
}

std::optional<HistoryMirror::Marks> HistoryMirror::marksOf(const HistoryStore& store) {
    sqlite3* db = sqliteHandle(store);
    if (!db)
        return std::nullopt;
    SqliteStatement version(store);
    if (!version.prepare(QStringLiteral("PRAGMA data_version")) || !version.next())
        return std::nullopt;
    Marks m;
    m.dataVersion = version.integer(0);
    version.reset();
    m.totalChanges = sqlite3_total_changes64(db);
    return m;
}

void HistoryMirror::committed(const HistoryStore& store) {
    const auto marks = marksOf(store);
    valid_ = marks.has_value();
    if (marks)
        marks_ = *marks;
}

qint32 HistoryMirror::addText(QByteArrayView text) {
    if (text.isNull())
        return kNullText;
    const auto id = qint32(arena_.size());
    const auto size = quint32(text.size());
    arena_.resize(arena_.size() + sizeof size + text.size());
    std::memcpy(arena_.data() + id, &size, sizeof size);
    if (size > 0)
        std::memcpy(arena_.data() + id + sizeof size, text.data(), size);
    return id;
}

std::pair<qsizetype, qsizetype> HistoryMirror::rowsBetween(qint64 first, qint64 last) const {
    const auto begin = std::lower_bound(issues_.begin(), issues_.end(), first);
    const auto end = std::upper_bound(begin, issues_.end(), last);
    return {begin - issues_.begin(), end - issues_.begin()};
}

void HistoryMirror::reset() {
    valid_ = false;
    issues_.clear();
    for (auto& c : columns_)
        c.clear();
    loaded_.reset();
    // Offset 0 stays unused: it stands for NULL.
    arena_.assign(1, '\0');
    emptyText_ = addText(QByteArrayView("", 0));
    generation_ = nextGeneration();
}

bool HistoryMirror::require(HistoryStore& store, const QVector<int>& wanted, QString* error) {
    QVector<int> missing;
    for (const int c : wanted)
        if (!loaded_.test(std::size_t(c)) && !missing.contains(c))
            missing << c;
    // A fresh mirror reads its issues with the first columns.
    const bool fresh = !valid_;
    if (missing.isEmpty() && !fresh)
        return true;
    QStringList names{QStringLiteral("SQQH")};
    for (const int c : missing) {
        names << columnName(c);
        columns_[c].clear();
        columns_[c].reserve(issues_.size());
    }
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        invalidate();
        return false;
    };
    SqliteStatement q(store);
    if (!q.prepare(
            QStringLiteral("SELECT %1 FROM Lishi ORDER BY SQQH").arg(names.join(QLatin1Char(',')))))
        return fail(QStringLiteral("读取历史号码失败：%1").arg(q.errorText()));
    std::size_t row = 0;
    while (q.next()) {
        const qint64 issue = q.integer(0);
        if (fresh)
            issues_.push_back(issue);
        // Read in the transaction the issues were checked in, so the rows are the same ones.
        else if (row >= issues_.size() || issues_[row] != issue) {
            q.reset();
            return fail(QStringLiteral("读取历史号码时历史号码被改动，请重新检索。"));
        }
        ++row;
        for (qsizetype at = 0; at < missing.size(); ++at) {
            const int c = missing[at];
            const int i = int(at) + 1;
            const int type = q.type(i);
            if (isText(c)) {
                const QByteArrayView bytes = q.utf8(i);
                // An empty text is a text, not NULL.
                columns_[c].push_back(type == SQLITE_NULL ? kNullText
                                      : bytes.isEmpty()   ? emptyText_
                                                          : addText(bytes));
                continue;
            }
            const qint64 v = type == SQLITE_INTEGER ? q.integer(i) : kNull;
            // A search compares and copies these as integers; anything else in them did not
            // come from this program and would be answered wrongly.
            if ((type != SQLITE_INTEGER && type != SQLITE_NULL) ||
                (type == SQLITE_INTEGER &&
                 (v <= kNull || v > std::numeric_limits<qint32>::max()))) {
                q.reset();
                return fail(QStringLiteral("第 %1 期的 %2 不是整数，不能检索；"
                                           "请用历史号码文件重建历史数据库。")
                                .arg(issue)
                                .arg(columnName(c)));
            }
            columns_[c].push_back(qint32(v));
        }
    }
    if (q.lastError().isValid())
        return fail(QStringLiteral("读取历史号码失败：%1").arg(q.errorText()));
    if (row != issues_.size())
        return fail(QStringLiteral("读取历史号码时历史号码被改动，请重新检索。"));
    for (const int c : missing)
        loaded_.set(std::size_t(c));
    valid_ = true;
    return true;
}

} // namespace quorvex
