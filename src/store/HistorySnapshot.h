#pragma once

#include "draw/CodeTokens.h"
#include "draw/DrawRecord.h"
#include "StoreVersion.h"

#include <QByteArrayView>
#include <QVector>

#include <array>
#include <bitset>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace quorvex {

class HistoryStore;

// The columns of the history that the searches read, in memory and in issue order: the issues,
// the 30 attributes, txtHisLst and the six code texts. Whoever owns the store owns one beside
// it. refresh() keeps what it holds while the store's version stays the one it was read at, and
// reads afresh after any write, by this program or another. A column once read is never changed,
// only replaced: a copy is cheap and keeps the columns as they were when the original moves on.
class HistorySnapshot {
public:
    // Column numbers: the attributes (position-major), then the texts.
    static constexpr int kAttributes = 30;
    static constexpr int kTxtHisLst = 30;
    static constexpr int kCode = 31; // + kind
    static constexpr int kColumns = 37;

    static constexpr qint32 kNull = std::numeric_limits<qint32>::min();

    static int attribute(int position1, int kind) { return (position1 - 1) * kKindCount + kind; }
    static int code(int kind) { return kCode + kind; }
    static bool isText(int column) { return column >= kTxtHisLst; }
    static QString columnName(int column);
    // The verdict kept when a file's stored code texts of the kind are exactly the ones its
    // values give (CheckVerdicts); named with the rule, so a version that writes them otherwise
    // does not recall it.
    static QString codesTopic(int kind);

    // Brings the snapshot to the history as it stands, holding at least the given columns; the
    // columns it lacks are read in one pass. Runs in one read transaction of the store (or the
    // caller's). False and the reason when the history cannot be read whole or holds a value no
    // search can take; the snapshot is then empty.
    bool refresh(const HistoryStore& store, const QVector<int>& columns, QString* error);
    // The version of the history the snapshot holds; nothing before the first refresh.
    std::optional<StoreVersion> version() const { return version_; }

    qsizetype rows() const { return issues_ ? qsizetype(issues_->size()) : 0; }
    qint64 issue(qsizetype row) const { return (*issues_)[std::size_t(row)]; }
    // The rows whose issue lies in [first, last]: [begin, end).
    std::pair<qsizetype, qsizetype> rowsBetween(qint64 first, qint64 last) const;

    // An integer cell as the grids show it: NULL is 0.
    int value(int c, qsizetype row) const {
        if (c < kAttributes) {
            if (const auto& narrow = narrow_[std::size_t(c)])
                return (*narrow)[std::size_t(row)];
        }
        const qint32 v = (*columns_[std::size_t(c)])[std::size_t(row)];
        return v == kNull ? 0 : v;
    }
    // An attribute column as one byte a row (NULL as 0, as value() gives it), when every value
    // it holds fits one; else nullptr.
    const qint8* narrowColumn(int c) const {
        return c < kAttributes && narrow_[std::size_t(c)] ? narrow_[std::size_t(c)]->data()
                                                          : nullptr;
    }
    // A text cell's UTF-8 bytes; NULL is a null view (an empty text is not null).
    QByteArrayView text(int c, qsizetype row) const {
        const qint32 id = (*columns_[std::size_t(c)])[std::size_t(row)];
        if (id == kNullText)
            return {};
        const char* at = arenas_[std::size_t(c - kTxtHisLst)]->data() + id;
        quint32 size;
        std::memcpy(&size, at, sizeof size);
        return {at + sizeof size, qsizetype(size)};
    }

    // The tokens of each row's code text of the kind (textTokens), once the code column is held.
    const std::vector<Tokens>& tokens(int kind) const {
        static const std::vector<Tokens> none;
        const auto& held = tokens_[std::size_t(kind)];
        return held ? *held : none;
    }
    // A row's code text of the kind, once the code column is held: as stored, or as derived from
    // the draw before it when the stored texts were found to be exactly those.
    QByteArray codeText(int kind, qsizetype row) const;

    // Bytes held, for the benchmarks.
    std::size_t memoryBytes() const;

private:
    static constexpr qint32 kNullText = 0;

    void clear();
    bool read(const HistoryStore& store, const QVector<int>& missing, QString* error);
    // The code text of the kind that row's values give the row after it.
    QByteArray derivedCode(int kind, qsizetype row) const;
    // Whether every stored code text of the kind is the one derived from the draw before it
    // (the first row's empty); both columns held.
    bool codesAreDerived(int kind) const;
    void deriveTokens(int kind);

    // Each column held, shared with the copies made since it was read.
    template <typename T> using Held = std::shared_ptr<const std::vector<T>>;
    std::optional<StoreVersion> version_;
    Held<qint64> issues_;
    // Integer cells, or a text column's text ids; an attribute column whose values all fit a
    // byte (as every one this program writes) is held in narrow_ instead.
    std::array<Held<qint32>, kColumns> columns_;
    std::array<Held<qint8>, kAttributes> narrow_;
    std::array<Held<Tokens>, kKindCount> tokens_;
    // A text column's texts, each as its size and bytes; its cells hold their offsets.
    std::array<Held<char>, kColumns - kTxtHisLst> arenas_;
    std::bitset<kColumns> loaded_;
    std::bitset<kKindCount> derivedCodes_; // code columns held as their derivation, not read
};

} // namespace quorvex
