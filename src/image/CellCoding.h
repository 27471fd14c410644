#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>
#include <string>

namespace quorvex {

// The cells of a history image (LishiImage): a tag byte, then for an integer its zigzag varint,
// for a real its eight bytes little-endian, for a text or blob its length as a varint and its
// bytes. Varints are unsigned LEB128.
enum CellTag : quint8 { NullCell = 0, IntegerCell = 1, RealCell = 2, TextCell = 3, BlobCell = 4 };

// The writers append to a QByteArray or, where millions of small appends run, a std::string.
inline void appendRaw(QByteArray& out, const char* bytes, qsizetype size) {
    out.append(bytes, size);
}
inline void appendRaw(std::string& out, const char* bytes, qsizetype size) {
    out.append(bytes, std::size_t(size));
}

template <class Out> void putVarint(Out& out, quint64 v) {
    // Built aside and appended once: a history is millions of cells.
    char bytes[10];
    int n = 0;
    while (v >= 0x80) {
        bytes[n++] = char(v | 0x80);
        v >>= 7;
    }
    bytes[n++] = char(v);
    appendRaw(out, bytes, n);
}

inline quint64 zigzag(qint64 v) {
    return (quint64(v) << 1) ^ quint64(v >> 63);
}

template <class Out> void putInteger(Out& out, qint64 v) {
    putVarint(out, zigzag(v));
}

template <class Out> void putBytes(Out& out, QByteArrayView bytes) {
    putVarint(out, quint64(bytes.size()));
    appendRaw(out, bytes.data(), bytes.size());
}

// An integer cell, tag and varint in one append.
template <class Out> void putIntegerCell(Out& out, qint64 v) {
    quint64 z = zigzag(v);
    char bytes[11] = {char(IntegerCell)};
    int n = 1;
    while (z >= 0x80) {
        bytes[n++] = char(z | 0x80);
        z >>= 7;
    }
    bytes[n++] = char(z);
    appendRaw(out, bytes, n);
}

template <class Out> void putRealCell(Out& out, double v) {
    quint64 bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    char bytes[9] = {char(RealCell)};
    for (int i = 0; i < 8; ++i)
        bytes[i + 1] = char(bits >> (8 * i));
    appendRaw(out, bytes, sizeof bytes);
}

template <class Out> void putTextCell(Out& out, CellTag tag, QByteArrayView bytes) {
    const char t = char(tag);
    appendRaw(out, &t, 1);
    putBytes(out, bytes);
}

template <class Out> void putNullCell(Out& out) {
    const char t = char(NullCell);
    appendRaw(out, &t, 1);
}

// Reads what the writers above wrote; any read past the end or malformed value sets failed.
class CellReader {
public:
    explicit CellReader(QByteArrayView data) : data_(data) {}
    bool failed() const { return failed_; }
    bool atEnd() const { return at_ == data_.size(); }
    qsizetype position() const { return at_; }
    // What was read since the position from.
    QByteArrayView readSince(qsizetype from) const { return data_.sliced(from, at_ - from); }

    quint64 varint() {
        quint64 v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ >= data_.size())
                break;
            const auto byte = quint8(data_[at_++]);
            v |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return v;
        }
        failed_ = true;
        return 0;
    }
    qint64 integer() {
        const quint64 z = varint();
        return qint64(z >> 1) ^ -qint64(z & 1);
    }
    QByteArrayView bytes(quint64 size) {
        if (failed_ || size > quint64(data_.size() - at_)) {
            failed_ = true;
            return {};
        }
        const QByteArrayView out = data_.sliced(at_, qsizetype(size));
        at_ += qsizetype(size);
        return out;
    }
    QByteArrayView sized() { return bytes(varint()); }
    quint8 byte() {
        const QByteArrayView b = bytes(1);
        return b.isEmpty() ? 0 : quint8(b[0]);
    }

private:
    QByteArrayView data_;
    qsizetype at_ = 0;
    bool failed_ = false;
};

// One cell as read back: the tag and its value.
struct Cell {
    quint8 tag = NullCell;
    qint64 integer = 0;
    double real = 0;
    QByteArrayView bytes;
};

inline Cell readCell(CellReader& in) {
    Cell c;
    c.tag = in.byte();
    switch (c.tag) {
    case NullCell:
        break;
    case IntegerCell:
        c.integer = in.integer();
        break;
    case RealCell: {
        const QByteArrayView b = in.bytes(8);
        quint64 bits = 0;
        for (int i = 0; i < b.size(); ++i)
            bits |= quint64(quint8(b[i])) << (8 * i);
        std::memcpy(&c.real, &bits, sizeof bits);
        break;
    }
    case TextCell:
    case BlobCell:
        c.bytes = in.sized();
        break;
    default:
        // An unknown tag: mark the reader failed by reading past its end.
        in.bytes(quint64(-1));
    }
    return c;
}

} // namespace quorvex
