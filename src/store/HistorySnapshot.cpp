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
    if (!issues_)
        return {0, 0};
    const auto begin = std::lower_bound(issues_->begin(), issues_->end(), first);
    const auto end = std::upper_bound(begin, issues_->end(), last);
    return {begin - issues_->begin(), end - issues_->begin()};
}

namespace {

template <typename T> std::size_t heldBytes(const std::shared_ptr<const std::vector<T>>& held) {
    return held ? held->capacity() * sizeof(T) : 0;
}

// Appends a text as its size and bytes; returns its offset.
qint32 addText(std::vector<char>& arena, QByteArrayView text) {
    const auto id = qint32(arena.size());
    const auto size = quint32(text.size());
    arena.resize(arena.size() + sizeof size + text.size());
    std::memcpy(arena.data() + id, &size, sizeof size);
    if (size > 0)
        std::memcpy(arena.data() + id + sizeof size, text.data(), size);
    return id;
}

} // namespace

std::size_t HistorySnapshot::memoryBytes() const {
    std::size_t bytes = heldBytes(issues_);
    for (const auto& c : columns_)
        bytes += heldBytes(c);
    for (const auto& c : narrow_)
        bytes += heldBytes(c);
    for (const auto& t : tokens_)
        bytes += heldBytes(t);
    for (const auto& a : arenas_)
        bytes += heldBytes(a);
    return bytes;
}

void HistorySnapshot::clear() {
    // Dropped, not emptied: a copy may still hold them.
    *this = HistorySnapshot();
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
            verdicts.emplace(store);
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
    std::vector<Tokens> tokens(static_cast<std::size_t>(rows()));
    std::array<const qint8*, kPositions> bytes{};
    for (int p = 1; p <= kPositions; ++p)
        bytes[p - 1] = narrowColumn(attribute(p, kind));
    const bool narrow = std::all_of(bytes.begin(), bytes.end(), [](const qint8* b) { return b; });
    for (std::size_t row = 1; row < tokens.size(); ++row) {
        std::array<int, kPositions> values{};
        for (int p = 1; p <= kPositions; ++p)
            values[p - 1] =
                narrow ? bytes[p - 1][row - 1] : value(attribute(p, kind), qsizetype(row - 1));
        tokens[row] = valueTokens(kind, values);
    }
    tokens_[std::size_t(kind)] = std::make_shared<const std::vector<Tokens>>(std::move(tokens));
    loaded_.set(std::size_t(code(kind)));
    derivedCodes_.set(std::size_t(kind));
}

bool HistorySnapshot::read(const HistoryStore& store, const QVector<int>& missing, QString* error) {
    const bool fresh = !version_;
    // Read into new columns and kept only when the read completes.
    std::vector<qint64> issues;
    const std::vector<qint64>& known = fresh || !issues_ ? issues : *issues_;
    // An attribute is read into bytes (NULL as 0, which is all value() tells of it) until a
    // value does not fit one; its cells are then widened once and read as they are.
    std::vector<std::vector<qint32>> cells(std::size_t(missing.size()));
    std::vector<std::vector<qint8>> bytes(std::size_t(missing.size()));
    std::vector<std::vector<char>> arenas(std::size_t(missing.size()));
    std::vector<std::vector<Tokens>> tokens(std::size_t(missing.size()));
    QStringList names{QStringLiteral("SQQH")};
    for (qsizetype at = 0; at < missing.size(); ++at) {
        names << columnName(missing[at]);
        if (isText(missing[at])) {
            cells[std::size_t(at)].reserve(known.size());
            arenas[std::size_t(at)].assign(1, '\0'); // offset 0 stands for NULL
        } else {
            bytes[std::size_t(at)].reserve(known.size());
        }
    }
    std::vector<char> wide(std::size_t(missing.size()), 0);
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
            issues.push_back(issue);
        // The same read transaction as the columns held: the same rows, or a fault.
        else if (row >= known.size() || known[row] != issue)
            return stop(QStringLiteral("读取历史号码时历史号码被改动，请重新检索。"));
        ++row;
        for (qsizetype at = 0; at < missing.size(); ++at) {
            const int c = missing[at];
            const int i = int(at) + 1;
            const int type = q.type(i);
            auto& column = cells[std::size_t(at)];
            if (isText(c)) {
                const QByteArrayView text = type == SQLITE_NULL ? QByteArrayView() : q.utf8(i);
                column.push_back(type == SQLITE_NULL ? kNullText
                                                     : addText(arenas[std::size_t(at)], text));
                if (c >= kCode)
                    tokens[std::size_t(at)].emplace_back(textTokens(text, c - kCode));
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
            if (wide[std::size_t(at)]) {
                column.push_back(qint32(v));
                continue;
            }
            const qint64 byte = v == kNull ? 0 : v;
            auto& narrow = bytes[std::size_t(at)];
            if (byte >= std::numeric_limits<qint8>::min() &&
                byte <= std::numeric_limits<qint8>::max()) {
                narrow.push_back(qint8(byte));
                continue;
            }
            wide[std::size_t(at)] = 1;
            column.reserve(known.size());
            column.assign(narrow.begin(), narrow.end());
            std::vector<qint8>().swap(narrow);
            column.push_back(qint32(v));
        }
    }
    if (q.lastError().isValid())
        return fail(QStringLiteral("读取历史号码失败：%1").arg(q.errorText()));
    if (row != known.size())
        return fail(QStringLiteral("读取历史号码时历史号码被改动，请重新检索。"));
    if (fresh)
        issues_ = std::make_shared<const std::vector<qint64>>(std::move(issues));
    for (qsizetype at = 0; at < missing.size(); ++at) {
        const int c = missing[at];
        loaded_.set(std::size_t(c));
        if (c < kAttributes && !wide[std::size_t(at)]) {
            narrow_[std::size_t(c)] =
                std::make_shared<const std::vector<qint8>>(std::move(bytes[std::size_t(at)]));
            continue;
        }
        columns_[std::size_t(c)] =
            std::make_shared<const std::vector<qint32>>(std::move(cells[std::size_t(at)]));
        if (isText(c))
            arenas_[std::size_t(c - kTxtHisLst)] =
                std::make_shared<const std::vector<char>>(std::move(arenas[std::size_t(at)]));
        if (c >= kCode)
            tokens_[std::size_t(c - kCode)] =
                std::make_shared<const std::vector<Tokens>>(std::move(tokens[std::size_t(at)]));
    }
    return true;
}

} // namespace quorvex
