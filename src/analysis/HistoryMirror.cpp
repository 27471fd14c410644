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

std::shared_ptr<HistoryMirror> HistoryMirror::current(HistoryStore& store, QString* error) {
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
    if (mirror->valid_ && marks->totalChanges == mirror->marks_.totalChanges &&
        marks->dataVersion == mirror->marks_.dataVersion)
        return mirror;
    if (!mirror->load(store, error))
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

bool HistoryMirror::load(HistoryStore& store, QString* error) {
    valid_ = false;
    issues_.clear();
    for (auto& c : columns_)
        c.clear();
    // Offset 0 stays unused: it stands for NULL.
    arena_.assign(1, '\0');
    emptyText_ = addText(QByteArrayView("", 0));
    generation_ = nextGeneration();

    QStringList names{QStringLiteral("SQQH")};
    for (int c = 0; c < kColumns; ++c)
        names << columnName(c);
    SqliteStatement q(store);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM Lishi ORDER BY SQQH")
                       .arg(names.join(QLatin1Char(','))))) {
        if (error)
            *error = QStringLiteral("读取历史号码失败：%1").arg(q.errorText());
        return false;
    }
    while (q.next()) {
        const qint64 issue = q.integer(0);
        issues_.push_back(issue);
        for (int c = 0; c < kIntegerColumns; ++c) {
            const int type = q.type(c + 1);
            qint64 v = kNull;
            if (type == SQLITE_INTEGER)
                v = q.integer(c + 1);
            // A search compares and copies these as integers; anything else in them did not
            // come from this program and would be answered wrongly.
            if ((type != SQLITE_INTEGER && type != SQLITE_NULL) ||
                (type == SQLITE_INTEGER &&
                 (v <= kNull || v > std::numeric_limits<qint32>::max()))) {
                if (error)
                    *error = QStringLiteral("第 %1 期的 %2 不是整数，不能检索；"
                                            "请用历史号码文件重建历史数据库。")
                                 .arg(issue)
                                 .arg(columnName(c));
                q.reset();
                return false;
            }
            columns_[c].push_back(qint32(v));
        }
        for (int c = kIntegerColumns; c < kColumns; ++c) {
            const QByteArrayView bytes = q.utf8(c + 1);
            // An empty text is a text, not NULL.
            columns_[c].push_back(q.type(c + 1) == SQLITE_NULL ? kNullText
                                  : bytes.isEmpty()            ? emptyText_
                                                               : addText(bytes));
        }
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = QStringLiteral("读取历史号码失败：%1").arg(q.errorText());
        return false;
    }
    valid_ = true;
    return true;
}

} // namespace quorvex
