// The rows the draw writer stores, column by column as SQLite holds them (integer, text, NULL,
// and '' apart from NULL), and a writer failing on a row part way through a replacement.
#include "import/TextImport.h"
#include "TestHistory.h"

#include <QSqlQuery>
#include <QtTest>

using namespace quorvex;
using namespace quorvex::test;

namespace {

// Every column of every row in issue order, each as SQL's quote() writes it: 5, '5', '' or NULL.
QList<QStringList> quotedRows(const HistoryStore& store) {
    QSqlQuery q(store.database());
    QStringList columns;
    if (!q.exec(QStringLiteral("PRAGMA table_info(Lishi)")))
        qFatal("cannot read the columns");
    while (q.next())
        columns << QStringLiteral("quote(%1)").arg(q.value(1).toString());
    QList<QStringList> rows;
    if (!q.exec(QStringLiteral("SELECT %1 FROM Lishi ORDER BY SQQH").arg(columns.join(','))))
        qFatal("cannot read the history");
    while (q.next()) {
        QStringList row;
        for (int c = 0; c < columns.size(); ++c)
            row << q.value(c).toString();
        rows << row;
    }
    if (q.lastError().isValid())
        qFatal("cannot read the history");
    return rows;
}

// A row as stored by the writer: issue, next issue, no strQQH, the attributes position by
// position, the searches' 60 working columns empty, the seven texts, then the columns the writer
// leaves to their defaults.
QStringList storedRow(qint64 issue, const QList<QList<int>>& attributes, const QStringList& texts) {
    QStringList row{QString::number(issue), QString::number(issue + 1), "NULL"};
    for (const QList<int>& position : attributes)
        for (int v : position)
            row << QString::number(v);
    for (int i = 0; i < 60; ++i)
        row << "NULL";
    row << texts.first();
    for (int k = 1; k <= 6; ++k)
        row << texts[k];
    for (int i = 0; i < 7; ++i)
        row << "NULL"; // txtHisPreLst and its six kinds
    row << "0"
        << "0"
        << "NULL";
    return row;
}

} // namespace

class StoredRowsTest : public QObject {
    Q_OBJECT
private slots:
    void rowsAreStoredInTheirExactForm();
    void refusedRowHalfWayLeavesHistoryUnchanged_data();
    void refusedRowHalfWayLeavesHistoryUnchanged();
};

void StoredRowsTest::rowsAreStoredInTheirExactForm() {
    TempHistory h;
    h.append(2012001, {15, 14, 13, 12, 11}); // replaced: must not describe the first new row
    ZodiacYear zodiac;
    QString error;
    QVERIFY2(replaceHistory(h.store(),
                            {{2013045, {3, 7, 9, 11, 14}, 1}, {2013046, {1, 2, 4, 5, 6}, 2}},
                            ValueBases{1, 1}, zodiac, &error),
             qPrintable(error));

    // number, zodiac, head, tail, digit sum, segment; 2013 is the 蛇 year from 2013024 on.
    const QList<QStringList> expected{
        storedRow(2013045,
                  {{3, 4, 0, 3, 3, 1},
                   {7, 12, 0, 7, 7, 3},
                   {9, 10, 0, 9, 9, 3},
                   {11, 8, 1, 1, 2, 4},
                   {14, 5, 1, 4, 5, 5}},
                  {"''", "''", "''", "''", "''", "''", "''"}),
        storedRow(2013046,
                  {{1, 6, 0, 1, 1, 1},
                   {2, 5, 0, 2, 2, 1},
                   {4, 3, 0, 4, 4, 2},
                   {5, 2, 0, 5, 5, 2},
                   {6, 1, 0, 6, 6, 2}},
                  {"'03 07 09 11 14 '", "'1X03 1X07 1X09 1X11 1X14 '",
                   "'1X04 1X12 1X10 1X08 1X05 '", "'1X0 2X0 3X0 1X1 2X1 '",
                   "'1X3 1X7 1X9 1X1 1X4 '", "'1X03 1X07 1X09 1X02 1X05 '",
                   "'1X1 1X3 2X3 1X4 1X5 '"}),
    };
    const QList<QStringList> stored = quotedRows(h.store());
    QCOMPARE(stored.size(), expected.size());
    for (qsizetype r = 0; r < expected.size(); ++r)
        QCOMPARE(stored[r], expected[r]);
}

void StoredRowsTest::refusedRowHalfWayLeavesHistoryUnchanged_data() {
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("message");
    // An issue the table already holds from earlier in the same run: refused by its key.
    QTest::newRow("issue repeated")
        << false << QStringLiteral("第 301 行（第 2013300 期）时出错：期号 2013300 已存在");
    // In the user's words, not SQLite's.
    QTest::newRow("disk full") << true << QStringLiteral("磁盘已满");
}

void StoredRowsTest::refusedRowHalfWayLeavesHistoryUnchanged() {
    QFETCH(bool, diskFull);
    QFETCH(QString, message);
    TempHistory h;
    h.appendMany(2012001, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {11, 12, 13, 14, 15}});
    const TableRows before = tableRows(h.store());

    QVector<ImportedDraw> draws;
    for (int i = 0; i < 3000; ++i)
        draws.append(
            {2013001 + i, {1 + i % 11, 2 + i % 11, 3 + i % 11, 4 + i % 11, 5 + i % 11}, i + 1});
    QSqlQuery q(h.store().database());
    if (diskFull) {
        // Room for the old rows, not for the new ones.
        QVERIFY(q.exec("PRAGMA page_count") && q.next());
        QVERIFY(q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(q.value(0).toInt() + 2)));
    } else {
        draws[300].issue = draws[299].issue;
    }
    ZodiacYear zodiac;
    QString error;
    QVERIFY(!replaceHistory(h.store(), draws, {}, zodiac, &error));
    // Said once, and no English of the library's reaches the user.
    QVERIFY2(error.count(message) == 1, qPrintable(error));
    QVERIFY2(!error.contains("Unable") && !error.contains("database"), qPrintable(error));
    QCOMPARE(tableRows(h.store()), before);
    QVERIFY(!h.store().isDamaged());
}

QTEST_GUILESS_MAIN(StoredRowsTest)
#include "tst_storedrows.moc"
