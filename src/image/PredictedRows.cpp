#include "PredictedRows.h"

#include <QHash>

#include <memory>
#include <string>

#include <vector>

namespace quorvex {

namespace {

enum class Role : quint8 { Other, Issue, NextIssue, Zero, Attribute, NumberList, Code };

struct ColumnRole {
    Role role = Role::Other;
    int position = 0; // 1..5, attributes
    int kind = 0;     // attributes and code texts
};

int varintSize(quint64 v) {
    int n = 1;
    while (v >= 0x80)
        v >>= 7, ++n;
    return n;
}

// The size of a cell as the writers write it: bytes of the same value and size are the same bytes.
qsizetype canonicalSize(const Cell& cell) {
    switch (cell.tag) {
    case IntegerCell:
        return 1 + varintSize(zigzag(cell.integer));
    case RealCell:
        return 9;
    case TextCell:
    case BlobCell:
        return 1 + varintSize(quint64(cell.bytes.size())) + cell.bytes.size();
    default:
        return 1;
    }
}

ValueBases basesOf(int index) {
    return {index & 1, index >> 1};
}

// The default bases, tried first.
constexpr int kFirstGuess = 3;

// What the writers would store in each cell of a row, from the row before it (DrawBulkWriter).
class RowPredictor {
public:
    explicit RowPredictor(const QStringList& columns) {
        QHash<QString, ColumnRole> known;
        known.insert(QStringLiteral("sqqh"), {Role::Issue});
        known.insert(QStringLiteral("qqh"), {Role::NextIssue});
        known.insert(QStringLiteral("intth"), {Role::Zero});
        known.insert(QStringLiteral("bolok"), {Role::Zero});
        known.insert(QStringLiteral("txthislst"), {Role::NumberList});
        for (int k = 0; k < kKindCount; ++k) {
            known.insert(codeColumn(k).toLower(), {Role::Code, 0, k});
            for (int i = 1; i <= kPositions; ++i)
                known.insert(attributeColumn(i, k).toLower(), {Role::Attribute, i, k});
        }
        numberColumns_.fill(-1);
        for (const QString& name : columns) {
            const ColumnRole r = known.value(name.toLower());
            const int c = int(roles_.size());
            if (r.role == Role::Issue)
                issueColumn_ = c;
            if (r.role == Role::Attribute && r.kind == Number)
                numberColumns_[r.position - 1] = c;
            if (r.role == Role::Code)
                textsRead_[std::size_t(r.kind)] = true;
            if (r.role == Role::NumberList)
                textsRead_[kKindCount] = true;
            roles_.push_back(r);
        }
    }

    int columns() const { return int(roles_.size()); }
    int issueColumn() const { return issueColumn_; }
    const std::array<int, kPositions>& numberColumns() const { return numberColumns_; }
    bool isAttribute(int c) const { return roles_[std::size_t(c)].role == Role::Attribute; }
    bool leftNull(int c) const { return roles_[std::size_t(c)].role == Role::Other; }
    qint64 expectedIssue() const { return previous_.issue ? *previous_.issue + 1 : 0; }

    // Predicts the cells of a row with that issue (when an integer) and those numbers (when
    // packed), derived under the bases.
    void predict(std::optional<qint64> issue, const std::optional<Numbers>& numbers, int bases) {
        issue_ = issue;
        derived_ = numbers.has_value();
        if (numbers) {
            // Issues no writer stores (a damaged or edited cell) take the zodiac of issue 0:
            // years far out of range are not worked out.
            const bool plausible = issue && *issue >= 0 && *issue < 10'000'000'000LL;
            zodiac_.followIssue(plausible ? *issue : 0);
            attributes_ = deriveAttributes(*numbers, zodiac_, basesOf(bases));
        }
    }

    // The predicted cell of column c as a value: its tag, and its integer or text.
    struct Expected {
        quint8 tag = NullCell;
        qint64 integer = 0;
        QByteArrayView text;
    };
    Expected expected(int c) const {
        const ColumnRole& r = roles_[std::size_t(c)];
        switch (r.role) {
        case Role::Issue:
            return {IntegerCell, expectedIssue(), {}};
        case Role::NextIssue:
            return issue_ ? Expected{IntegerCell, *issue_ + 1, {}} : Expected{};
        case Role::Zero:
            return {IntegerCell, 0, {}};
        case Role::Attribute:
            return derived_ ? Expected{IntegerCell, attributes_.value[r.position - 1][r.kind], {}}
                            : Expected{};
        case Role::NumberList:
        case Role::Code: {
            // An empty text stands for "no draw before this one".
            const std::size_t t = r.role == Role::Code ? std::size_t(r.kind) : kKindCount;
            if (!previous_.any)
                return {TextCell, 0, QByteArrayView("", 0)};
            return texts_[t] ? Expected{TextCell, 0, texts_[t]->bytes()} : Expected{};
        }
        case Role::Other:
            break;
        }
        return {};
    }
    bool matches(int c, const Cell& cell) const {
        const Expected e = expected(c);
        if (e.tag != cell.tag)
            return false;
        return e.tag == IntegerCell ? e.integer == cell.integer
                                    : e.tag != TextCell || e.text == cell.bytes;
    }
    void writeExpected(int c, std::string& out) const {
        const Expected e = expected(c);
        if (e.tag == IntegerCell)
            putIntegerCell(out, e.integer);
        else if (e.tag == TextCell)
            putTextCell(out, TextCell, e.text);
        else
            putNullCell(out);
    }

    // Every cell of the row predicted, with its own issue where the table keeps issues.
    void writePredicted(std::string& out) const {
        for (int c = 0; c < columns(); ++c) {
            if (c == issueColumn_ && issue_)
                putIntegerCell(out, *issue_);
            else
                writeExpected(c, out);
        }
    }

    // Takes a row as stored: the next is predicted from it.
    void advance(const std::vector<Cell>& row) {
        Previous p;
        p.any = true;
        std::array<int, kKindCount> have{};
        for (std::size_t c = 0; c < roles_.size(); ++c) {
            const ColumnRole& r = roles_[c];
            if (row[c].tag != IntegerCell)
                continue;
            if (r.role == Role::Issue)
                p.issue = row[c].integer;
            if (r.role == Role::Attribute) {
                p.values[r.kind][r.position - 1] = int(row[c].integer);
                ++have[r.kind];
            }
        }
        take(p, have);
    }

    // The same for a row stored as predicted, without reading its cells back.
    void advancePredicted() {
        Previous p;
        p.any = true;
        p.issue = issue_;
        std::array<int, kKindCount> have{};
        for (const ColumnRole& r : roles_) {
            if (r.role == Role::Attribute && derived_) {
                p.values[r.kind][r.position - 1] = attributes_.value[r.position - 1][r.kind];
                ++have[r.kind];
            }
        }
        take(p, have);
    }

private:
    struct Previous {
        bool any = false;
        std::optional<qint64> issue;
        std::array<std::array<int, kPositions>, kKindCount> values{};
    };

    void take(const Previous& p, const std::array<int, kKindCount>& have) {
        previous_ = p;
        // The texts the writers put in the next row: the code text of each kind and the list of
        // numbers, where every value of the kind is an integer.
        for (int k = 0; k <= kKindCount; ++k) {
            const int kind = k == kKindCount ? int(Number) : k;
            texts_[std::size_t(k)].reset();
            if (have[kind] == kPositions && textsRead_[std::size_t(k)])
                texts_[std::size_t(k)] = k == kKindCount ? numberListText(p.values[kind])
                                                         : codeAsciiText(kind, p.values[kind]);
        }
    }

    std::vector<ColumnRole> roles_;
    int issueColumn_ = -1;
    std::array<int, kPositions> numberColumns_{};
    Previous previous_;
    ZodiacYear zodiac_;
    std::optional<qint64> issue_;
    bool derived_ = false;
    DrawAttributes attributes_;
    // The code texts of the kinds, then the number list, as the next row should hold them;
    // only those of columns the image has are worked out.
    std::array<std::optional<AsciiText>, kKindCount + 1> texts_;
    std::array<bool, kKindCount + 1> textsRead_{};
};

} // namespace

QVector<bool> columnsLeftNull(const QStringList& columns) {
    const RowPredictor p(columns);
    QVector<bool> out;
    for (int c = 0; c < p.columns(); ++c)
        out << p.leftNull(c);
    return out;
}

struct PredictedRowsWriter::State {
    explicit State(const QStringList& columns)
        : p(columns), row(std::size_t(p.columns())), stored(std::size_t(p.columns())) {}
    RowPredictor p;
    std::vector<Cell> row;
    std::vector<QByteArrayView> stored;
    std::vector<int> differ;
    int guess = kFirstGuess;
    std::string out;
};

PredictedRowsWriter::PredictedRowsWriter(const QStringList& columns)
    : state_(std::make_unique<State>(columns)) {}

PredictedRowsWriter::~PredictedRowsWriter() = default;

bool PredictedRowsWriter::add(CellReader& in) {
    State& s = *state_;
    RowPredictor& p = s.p;
    const int n = p.columns();
    for (int c = 0; c < n; ++c) {
        const qsizetype start = in.position();
        s.row[std::size_t(c)] = readCell(in);
        s.stored[std::size_t(c)] = in.readSince(start);
    }
    if (in.failed())
        return false;
    std::optional<qint64> issue;
    if (p.issueColumn() >= 0 && s.row[std::size_t(p.issueColumn())].tag == IntegerCell)
        issue = s.row[std::size_t(p.issueColumn())].integer;
    std::optional<Numbers> numbers = Numbers{};
    for (int i = 0; i < kPositions; ++i) {
        const int c = p.numberColumns()[std::size_t(i)];
        const Cell* cell = c < 0 ? nullptr : &s.row[std::size_t(c)];
        if (!cell || cell->tag != IntegerCell || cell->integer < 1 || cell->integer > 15) {
            numbers.reset();
            break;
        }
        (*numbers)[std::size_t(i)] = int(cell->integer);
    }
    // The bases of the row before, unless others derive this row's attributes better.
    auto misses = [&](int bases) {
        p.predict(issue, numbers, bases);
        int count = 0;
        for (int c = 0; c < n; ++c)
            count += p.isAttribute(c) && !p.matches(c, s.row[std::size_t(c)]);
        return count;
    };
    int bases = numbers ? s.guess : 0;
    if (!numbers) {
        p.predict(issue, numbers, bases);
    } else if (int fewest = misses(bases); fewest > 0) {
        for (int b = 0; b < 4; ++b) {
            if (b == s.guess)
                continue;
            if (const int m = misses(b); m < fewest)
                fewest = m, bases = b;
        }
        s.guess = bases;
        p.predict(issue, numbers, bases);
    }

    const char head = char((numbers ? 1 : 0) | bases << 1);
    s.out.push_back(head);
    if (numbers) {
        const Numbers& v = *numbers;
        const char packed[3] = {char(v[0] | v[1] << 4), char(v[2] | v[3] << 4), char(v[4])};
        s.out.append(packed, 3);
    }
    s.differ.clear();
    for (int c = 0; c < n; ++c)
        if (!p.matches(c, s.row[std::size_t(c)]) ||
            s.stored[std::size_t(c)].size() != canonicalSize(s.row[std::size_t(c)]))
            s.differ.push_back(c);
    putVarint(s.out, s.differ.size());
    for (int c : s.differ) {
        putVarint(s.out, quint64(c));
        appendRaw(s.out, s.stored[std::size_t(c)].data(), s.stored[std::size_t(c)].size());
    }
    p.advance(s.row);
    return true;
}

QByteArray PredictedRowsWriter::bytes() const {
    return QByteArray(state_->out.data(), qsizetype(state_->out.size()));
}

std::optional<QByteArray> encodePredictedRows(const QStringList& columns, QByteArrayView cells,
                                              qint64 rows) {
    PredictedRowsWriter writer(columns);
    CellReader in(cells);
    for (qint64 r = 0; r < rows; ++r)
        if (!writer.add(in))
            return std::nullopt;
    if (!in.atEnd())
        return std::nullopt;
    return writer.bytes();
}

QByteArray encodeDerivedRows(const QStringList& columns, const QVector<DrawNumbers>& draws,
                             int bases) {
    const RowPredictor p(columns);
    std::string out;
    out.reserve(std::size_t(draws.size()) * 5);
    std::optional<qint64> previous;
    for (const DrawNumbers& d : draws) {
        out.push_back(char(1 | bases << 1));
        const Numbers& v = d.numbers;
        const char packed[3] = {char(v[0] | v[1] << 4), char(v[2] | v[3] << 4), char(v[4])};
        out.append(packed, 3);
        // Only an issue that does not follow the one before differs from the prediction.
        const qint64 expected = previous ? *previous + 1 : 0;
        if (p.issueColumn() < 0 || d.issue == expected) {
            putVarint(out, 0);
        } else {
            putVarint(out, 1);
            putVarint(out, quint64(p.issueColumn()));
            putIntegerCell(out, d.issue);
        }
        previous = d.issue;
    }
    return QByteArray(out.data(), qsizetype(out.size()));
}

void deriveRowCells(const QStringList& columns, const QVector<DrawNumbers>& draws, int bases,
                    const std::function<void(QByteArrayView)>& take) {
    RowPredictor p(columns);
    std::string row;
    for (const DrawNumbers& d : draws) {
        p.predict(d.issue, d.numbers, bases);
        row.clear();
        p.writePredicted(row);
        take(QByteArrayView(row.data(), qsizetype(row.size())));
        p.advancePredicted();
    }
}

bool decodePredictedRows(const QStringList& columns, qint64 rows, CellReader& in,
                         qint64 maxCellBytes, QByteArray* cells, QVector<DrawNumbers>* draws,
                         std::optional<int>* derivedUnder) {
    // Every row predicted whole under the same bases, but for an issue that does not follow.
    bool derived = rows > 0;
    int derivedBases = -1;
    RowPredictor p(columns);
    const int n = p.columns();
    std::vector<std::optional<QByteArrayView>> stored(static_cast<std::size_t>(n));
    std::vector<Cell> row(static_cast<std::size_t>(n));
    std::string whole;
    for (qint64 r = 0; r < rows; ++r) {
        const quint8 head = in.byte();
        if (in.failed() || head > 7)
            return false;
        std::optional<Numbers> numbers;
        if (head & 1) {
            const QByteArrayView b = in.bytes(3);
            if (in.failed() || quint8(b[2]) > 15)
                return false;
            numbers = Numbers{quint8(b[0]) & 15, quint8(b[0]) >> 4, quint8(b[1]) & 15,
                              quint8(b[1]) >> 4, quint8(b[2])};
            for (int i = 0; i < kPositions; ++i)
                if ((*numbers)[std::size_t(i)] == 0 || p.numberColumns()[std::size_t(i)] < 0)
                    return false;
        }
        const quint64 count = in.varint();
        if (in.failed() || count > quint64(n))
            return false;
        std::fill(stored.begin(), stored.end(), std::nullopt);
        int last = -1;
        for (quint64 i = 0; i < count; ++i) {
            const quint64 c = in.varint();
            // In column order, each once: one form per image.
            if (in.failed() || c >= quint64(n) || int(c) <= last)
                return false;
            last = int(c);
            const qsizetype start = in.position();
            readCell(in);
            if (in.failed())
                return false;
            stored[c] = in.readSince(start);
        }
        std::optional<qint64> issue;
        if (const int c = p.issueColumn(); c >= 0) {
            if (!stored[std::size_t(c)]) {
                issue = p.expectedIssue();
            } else {
                CellReader cell(*stored[std::size_t(c)]);
                const Cell value = readCell(cell);
                if (value.tag == IntegerCell)
                    issue = value.integer;
            }
        }
        const int bases = head >> 1;
        const int issueColumn = p.issueColumn();
        const bool onlyIssueApart =
            count == 0 ||
            (count == 1 && issueColumn >= 0 && stored[std::size_t(issueColumn)] && issue &&
             stored[std::size_t(issueColumn)]->size() ==
                 canonicalSize(Cell{IntegerCell, *issue, 0, {}}));
        derived = derived && numbers && onlyIssueApart && issue && *issue >= 0 &&
                  *issue < 10'000'000'000LL && (derivedBases < 0 || derivedBases == bases);
        derivedBases = bases;
        p.predict(issue, numbers, bases);
        whole.clear();
        for (int c = 0; c < n; ++c) {
            if (const auto& cell = stored[std::size_t(c)])
                appendRaw(whole, cell->data(), cell->size());
            else
                p.writeExpected(c, whole);
        }
        if (cells->size() + qint64(whole.size()) > maxCellBytes)
            return false;
        cells->append(whole.data(), qsizetype(whole.size()));
        if (count == 0) {
            // Nothing kept apart: the row is its prediction, known without reading it back.
            draws->append({issue.value_or(0), numbers.value_or(Numbers{})});
            p.advancePredicted();
            continue;
        }
        CellReader back(QByteArrayView(whole.data(), qsizetype(whole.size())));
        for (int c = 0; c < n; ++c)
            row[std::size_t(c)] = readCell(back);
        DrawNumbers d;
        auto integerAt = [&row](int c) {
            return c >= 0 && row[std::size_t(c)].tag == IntegerCell ? row[std::size_t(c)].integer
                                                                    : 0;
        };
        d.issue = integerAt(p.issueColumn());
        for (int i = 0; i < kPositions; ++i)
            d.numbers[std::size_t(i)] = int(integerAt(p.numberColumns()[std::size_t(i)]));
        draws->append(d);
        p.advance(row);
    }
    if (derivedUnder)
        *derivedUnder = derived ? std::optional<int>(derivedBases) : std::nullopt;
    return true;
}

} // namespace quorvex
