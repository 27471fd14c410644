#pragma once

#include "history/HistoryStore.h"

#include <QByteArrayView>
#include <QVector>

#include <array>
#include <bitset>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace quorvex {

// The columns of Lishi the searches read and write, held in memory in issue order. The
// searches decide here and write back only the cells whose value changes. The mirror is read
// once and kept while nothing else writes the history: any other write on the store's
// connection (total_changes) or a commit by another connection (data_version) makes the next
// search read it afresh.
class HistoryMirror {
public:
    // Column numbers: integers first, then texts.
    static constexpr int kAttribute = 0; // 30: position (0..4) * 6 + kind
    static constexpr int kLastDraw = 30; // 30: the "S" comparison columns, same order
    static constexpr int kPreDraw = 60;  // 30: the "P" comparison columns
    static constexpr int kIntTh = 90;
    static constexpr int kBolOk = 91;
    static constexpr int kIntegerColumns = 92;
    static constexpr int kTxtHisLst = 92;    // the number list of the draw before
    static constexpr int kCode = 93;         // 6: the code texts, by kind
    static constexpr int kTxtHisPreLst = 99; // the lagged number list
    static constexpr int kPreCode = 100;     // 6: the lagged code texts, by kind
    static constexpr int kTxtHisP6 = 106;
    static constexpr int kColumns = 107;

    static constexpr qint32 kNull = std::numeric_limits<qint32>::min();
    static constexpr int kNullText = 0; // the text id of NULL

    static int attribute(int position1, int kind) {
        return kAttribute + (position1 - 1) * 6 + kind;
    }
    static bool isText(int column) { return column >= kIntegerColumns; }
    static QString columnName(int column);

    // The mirror of the store's connection with at least the given columns, read afresh when
    // the history changed since it was last read or written through it; columns not asked
    // for yet are read in the same pass. Call inside the search's transaction. Nothing and
    // the reason when the history cannot be read whole, or holds a value no search can take;
    // the mirror is then read afresh next time.
    static std::shared_ptr<HistoryMirror> current(HistoryStore& store, const QVector<int>& columns,
                                                  QString* error);

    qsizetype rows() const { return qsizetype(issues_.size()); }
    qint64 issue(qsizetype row) const { return issues_[row]; }
    // The rows whose issue lies in [first, last]: [begin, end).
    std::pair<qsizetype, qsizetype> rowsBetween(qint64 first, qint64 last) const;

    qint32 raw(int column, qsizetype row) const { return columns_[column][row]; }
    // An integer cell as Qt reads it: NULL is 0.
    int value(int column, qsizetype row) const {
        const qint32 v = columns_[column][row];
        return v == kNull ? 0 : v;
    }
    const std::vector<qint32>& column(int c) const { return columns_[c]; }

    // A text cell holds the offset of its text in one arena of the mirror; 0 is NULL, which
    // reads as a null view (an empty text is not null).
    QByteArrayView textOf(qint32 id) const {
        if (id == kNullText)
            return {};
        quint32 size;
        std::memcpy(&size, arena_.data() + id, sizeof size);
        return QByteArrayView(arena_.data() + id + sizeof size, qsizetype(size));
    }
    qint32 addText(QByteArrayView text);
    qint32 emptyText() const { return emptyText_; }
    bool sameText(qint32 a, qint32 b) const {
        return a == b || (a != kNullText && b != kNullText && textOf(a) == textOf(b));
    }

    // Changes one cell in memory; true when its value changed.
    bool set(int column, qsizetype row, qint32 value) {
        qint32& cell = columns_[column][row];
        if (isText(column) ? sameText(cell, value) : cell == value)
            return false;
        cell = value;
        return true;
    }

    // Changes with every read of the history: figures computed from the draws may be kept
    // under it.
    quint64 generation() const { return generation_; }

    // What was changed in memory is now committed: the mirror stays valid.
    void committed(const HistoryStore& store);
    // What was changed in memory did not reach the file: read afresh next time.
    void invalidate() { valid_ = false; }

private:
    void reset();
    bool require(HistoryStore& store, const QVector<int>& columns, QString* error);
    struct Marks {
        qint64 totalChanges = -1;
        qint64 dataVersion = -1;
    };
    static std::optional<Marks> marksOf(const HistoryStore& store);

    std::vector<qint64> issues_;
    std::array<std::vector<qint32>, kColumns> columns_;
    std::vector<char> arena_;
    qint32 emptyText_ = kNullText;
    std::bitset<kColumns> loaded_;
    Marks marks_;
    quint64 generation_ = 0;
    bool valid_ = false;
};

} // namespace quorvex
