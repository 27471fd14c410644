#include "HistorySnapshot.h"

#include "CheckVerdicts.h"
#include "HistoryStore.h"
#include "SqliteStatement.h"

#include <sqlite3.h>

#include <algorithm>

namespace quorvex {

QString HistorySnapshot::codesTopic(int kind) {
    return QStringLiteral("codes1 %1").arg(kind);
}

QString HistorySnapshot::columnName(int c) {
    if (c < kAttributes)
        return attributeColumn(c / kKindCount + 1, c % kKindCount);
    if (c == kTxtHisLst)
        return QStringLiteral("txtHisLst");
    return codeColumn(c - kCode);
}

std::pair<qsizetype, qsizetype> HistorySnapshot::rowsBetween(qint64 first, qint64 last) const {
    const auto begin = std::lower_bound(issues_.begin(), issues_.end(), first);
    const auto end = std::upper_bound(begin, issues_.end(), last);
    return {begin - issues_.begin(), end - issues_.begin()};
}

std::size_t HistorySnapshot::memoryBytes() const {
    std::size_t bytes = issues_.capacity() * sizeof(qint64) + arena_.capacity();
    for (const auto& c : columns_)
        bytes += c.capacity() * sizeof(qint32);
    for (const auto& c : narrow_)
        bytes += c.capacity();
    for (const auto& t : tokens_)
        bytes += t.capacity() * sizeof(Tokens);
    return bytes;
}

void HistorySnapshot::clear() {
    version_.reset();
    std::vector<qint64>().swap(issues_);
    // Swapped with empty ones: assigning {} would keep what they held allocated.
    for (auto& c : columns_)
        std::vector<qint32>().swap(c);
    for (auto& c : narrow_)
        std::vector<qint8>().swap(c);
    for (auto& t : tokens_)
        std::vector<Tokens>().swap(t);
    loaded_.reset();
    derivedCodes_.reset();
    // Offset 0 stays unused: it stands for NULL.
    std::vector<char>(1, '\0').swap(arena_);
}

qint32 HistorySnapshot::addText(QByteArrayView text) {
    const auto id = qint32(arena_.size());
    const auto size = quint32(text.size());
    arena_.resize(arena_.size() + sizeof size + text.size());
    std::memcpy(arena_.data() + id, &size, sizeof size);
    if (size > 0)
        std::memcpy(arena_.data() + id + sizeof size, text.data(), size);
    return id;
}

bool HistorySnapshot::refresh(const HistoryStore& store, const QVector<int>& columns,
                              QString* error) {
    // The version and the rows from one read of the file.
    const HistoryStore::ReadSnapshot pinned(store);
    const auto now = store.version(error);
    if (!now) {
        clear();
        return false;
    }
    if (version_ != now)
        clear();
    // A code text lies far into each row: reading it costs more than the five values it is made
    // of. Once a file's stored texts were found to be exactly their derivation, they are derived;
    // until then they are read and compared in the same pass.
    std::optional<CheckVerdicts> verdicts;
    QVector<int> missing, derived, compared;
    auto want = [&](int c) {
        if (c >= 0 && c < kColumns && !loaded_.test(std::size_t(c)) && !missing.contains(c))
            missing << c;
    };
    for (const int c : columns) {
        if (c < kCode || c >= kColumns || loaded_.test(std::size_t(c))) {
            want(c);
            continue;
        }
        const int kind = c - kCode;
        for (int p = 1; p <= kPositions; ++p)
            want(attribute(p, kind));
        if (!verdicts)
            verdicts.emplace(store.databasePath());
        if (verdicts->recall(codesTopic(kind)) == QLatin1String("derived")) {
            derived << kind;
        } else {
            compared << kind;
            want(c);
        }
    }
    if (version_ && missing.isEmpty() && derived.isEmpty())
        return true;
    if ((!version_ || !missing.isEmpty()) && !read(store, missing, error)) {
        clear();
        return false;
    }
    version_ = now;
    for (const int kind : derived)
        deriveTokens(kind);
    for (const int kind : compared)
        if (codesAreDerived(kind))
            verdicts->remember(codesTopic(kind), QStringLiteral("derived"));
    return true;
}

void HistorySnapshot::narrow(int c) {
    auto& wide = columns_[std::size_t(c)];
    const bool fits = std::all_of(wide.begin(), wide.end(), [](qint32 v) {
        return v == kNull ||
               (v >= std::numeric_limits<qint8>::min() && v <= std::numeric_limits<qint8>::max());
    });
    if (!fits)
        return;
    auto& cells = narrow_[std::size_t(c)];
    cells.reserve(wide.size());
    for (const qint32 v : wide)
        cells.push_back(qint8(v == kNull ? 0 : v));
    std::vector<qint32>().swap(wide); // assigning {} would keep the capacity
}

QByteArray HistorySnapshot::derivedCode(int kind, qsizetype row) const {
    std::array<int, kPositions> values{};
    for (int p = 1; p <= kPositions; ++p)
        values[p - 1] = value(attribute(p, kind), row);
    return codeAsciiText(kind, values).bytes().toByteArray();
}

QByteArray HistorySnapshot::codeText(int kind, qsizetype row) const {
    if (!derivedCodes_.test(std::size_t(kind)))
        return text(code(kind), row).toByteArray();
    return row == 0 ? QByteArray("") : derivedCode(kind, row - 1);
}

bool HistorySnapshot::codesAreDerived(int kind) const {
    // A missing text and an empty one hold no token alike.
    for (qsizetype row = 0; row < rows(); ++row)
        if (text(code(kind), row) !=
            (row == 0 ? QByteArrayView("") : QByteArrayView(derivedCode(kind, row - 1))))
            return false;
    return true;
}

void HistorySnapshot::deriveTokens(int kind) {
    auto& tokens = tokens_[std::size_t(kind)];
    tokens.assign(issues_.size(), Tokens());
    for (std::size_t row = 1; row < issues_.size(); ++row) {
        std::array<int, kPositions> values{};
        for (int p = 1; p <= kPositions; ++p)
            values[p - 1] = value(attribute(p, kind), qsizetype(row - 1));
        tokens[row] = valueTokens(kind, values);
    }
    loaded_.set(std::size_t(code(kind)));
    derivedCodes_.set(std::size_t(kind));
}

bool HistorySnapshot::read(const HistoryStore& store, const QVector<int>& missing, QString* error) {
    const bool fresh = !version_;
    QStringList names{QStringLiteral("SQQH")};
    for (const int c : missing) {
        names << columnName(c);
        columns_[std::size_t(c)].reserve(fresh ? 0 : issues_.size());
    }
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    SqliteStatement q(store);
    auto stop = [&](const QString& why) {
        q.reset();
        return fail(why);
    };
    if (!q.prepare(
            QStringLiteral("SELECT %1 FROM Lishi ORDER BY SQQH").arg(names.join(QLatin1Char(',')))))
        return fail(QStringLiteral("读取历史号码失败：%1").arg(q.errorText()));
    std::size_t row = 0;
    while (q.next()) {
        const qint64 issue = q.integer(0);
        if (fresh)
            issues_.push_back(issue);
        // The same read transaction as the columns held: the same rows, or a fault.
        else if (row >= issues_.size() || issues_[row] != issue)
            return stop(QStringLiteral("读取历史号码时历史号码被改动，请重新检索。"));
        ++row;
        for (qsizetype at = 0; at < missing.size(); ++at) {
            const int c = missing[at];
            const int i = int(at) + 1;
            const int type = q.type(i);
            auto& cells = columns_[std::size_t(c)];
            if (isText(c)) {
                const QByteArrayView text = type == SQLITE_NULL ? QByteArrayView() : q.utf8(i);
                cells.push_back(type == SQLITE_NULL ? kNullText : addText(text));
                if (c >= kCode)
                    tokens_[std::size_t(c - kCode)].emplace_back(textTokens(text, c - kCode));
                continue;
            }
            const qint64 v = type == SQLITE_INTEGER ? q.integer(i) : kNull;
            // The searches compare these as integers; anything else did not come from this
            // program and would be answered wrongly.
            if ((type != SQLITE_INTEGER && type != SQLITE_NULL) ||
                (type == SQLITE_INTEGER && (v <= kNull || v > std::numeric_limits<qint32>::max())))
                return stop(QStringLiteral("第 %1 期的 %2 不是整数，不能检索；"
                                           "请用历史号码文件重建历史数据库。")
                                .arg(issue)
                                .arg(columnName(c)));
            cells.push_back(qint32(v));
        }
    }
    if (q.lastError().isValid())
        return fail(QStringLiteral("读取历史号码失败：%1").arg(q.errorText()));
    if (row != issues_.size())
        return fail(QStringLiteral("读取历史号码时历史号码被改动，请重新检索。"));
    for (const int c : missing) {
        loaded_.set(std::size_t(c));
        if (c < kAttributes)
            narrow(c);
    }
    return true;
}

} // namespace quorvex
