#pragma once

#include <QStringList>
#include <QVector>

#include <functional>

namespace quorvex {

// The rows of a grid, each made when it is asked for: a grid on screen shows a few of many
// thousand, and only an export or a printout needs them all.
class GridRows {
public:
    using Maker = std::function<QStringList(qsizetype)>;

    GridRows() = default;
    GridRows(qsizetype count, Maker row) : count_(count), row_(std::move(row)) {}
    // Rows made already.
    GridRows(QVector<QStringList> rows);

    qsizetype size() const { return count_; }
    bool isEmpty() const { return count_ == 0; }
    QStringList operator[](qsizetype i) const { return row_(i); }
    QStringList first() const { return row_(0); }
    QStringList last() const { return row_(count_ - 1); }
    QVector<QStringList> all() const;
    bool operator==(const GridRows& other) const { return all() == other.all(); }

    class Iterator {
    public:
        Iterator(const GridRows* rows, qsizetype at) : rows_(rows), at_(at) {}
        QStringList operator*() const { return (*rows_)[at_]; }
        Iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return at_ != other.at_; }

    private:
        const GridRows* rows_;
        qsizetype at_;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, count_}; }

private:
    qsizetype count_ = 0;
    Maker row_;
};

} // namespace quorvex
