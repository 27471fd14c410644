#include "draw/HistoryLine.h"
#include "store/HistoryTextFile.h"

#include <QtTest>

using namespace quorvex;

Q_DECLARE_METATYPE(std::optional<qint64>)

class HistoryLineTest : public QObject {
    Q_OBJECT
private slots:
    void writtenLineReadsBack_data();
    void writtenLineReadsBack();
    void tolerantReading_data();
    void tolerantReading();
    void linesWithoutIssueNumberOn();
};

void HistoryLineTest::writtenLineReadsBack_data() {
    QTest::addColumn<qint64>("issue");
    QTest::addColumn<QVector<int>>("numbers");
    QTest::addColumn<QString>("line");
    QTest::newRow("worked draw") << qint64(2013001) << QVector<int>{3, 7, 9, 11, 14}
                                 << QString("2013001 03 07 09 11 14 ");
    QTest::newRow("ends of the range")
        << qint64(2026365) << QVector<int>{15, 1, 10, 12, 2} << QString("2026365 15 01 10 12 02 ");
    QTest::newRow("smallest issue keeps its seven digits")
        << qint64(1) << QVector<int>{1, 2, 3, 4, 5} << QString("0000001 01 02 03 04 05 ");
    QTest::newRow("largest issue")
        << qint64(9999999) << QVector<int>{5, 4, 3, 2, 1} << QString("9999999 05 04 03 02 01 ");
}

void HistoryLineTest::writtenLineReadsBack() {
    QFETCH(qint64, issue);
    QFETCH(QVector<int>, numbers);
    QFETCH(QString, line);
    Numbers n{};
    std::copy(numbers.begin(), numbers.end(), n.begin());
    QCOMPARE(historyLine(issue, n), line);
    QCOMPARE(historyLine(issue, n).size(), 23);
    QCOMPARE(historyText({{issue, n}}), (line + historyLineEnd()).toLatin1());

    const ParsedHistoryLine p = parseHistoryLine(line + historyLineEnd());
    QCOMPARE(p.issue, std::optional<qint64>(issue));
    QCOMPARE(p.count, 5);
    QCOMPARE(p.numbers, n);
    QVERIFY(!p.moreThanFive);
}

void HistoryLineTest::tolerantReading_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<std::optional<qint64>>("issue");
    QTest::addColumn<QVector<int>>("numbers");
    QTest::addColumn<bool>("moreThanFive");
    const std::optional<qint64> none;
    const std::optional<qint64> i2013001 = 2013001;

    QTest::newRow("single digits are not numbers")
        << "2013001 3 7 9 11 14" << i2013001 << QVector<int>{11, 14} << false;
    QTest::newRow("ten digits back to back split into pairs")
        << "2013001 0307091114" << i2013001 << QVector<int>{3, 7, 9, 11, 14} << false;
    QTest::newRow("surrounding blanks and tabs")
        << " \t 2013001 03 07 09 11 14 \t" << i2013001 << QVector<int>{3, 7, 9, 11, 14} << false;
    QTest::newRow("any separator")
        << "2013001,03;07-09/11|14" << i2013001 << QVector<int>{3, 7, 9, 11, 14} << false;
    // Seven digits and an eighth: which issue is meant cannot be told, so nothing is read.
    QTest::newRow("digit after the seven of the issue")
        << "20130010307091114" << none << QVector<int>{} << false;
    QTest::newRow("more than five pairs keep the first five")
        << "2013001 01 02 03 04 05 06" << i2013001 << QVector<int>{1, 2, 3, 4, 5} << true;
    QTest::newRow("no issue: numbers from the first character")
        << "03 07 09 11 14" << none << QVector<int>{3, 7, 9, 11, 14} << false;
    QTest::newRow("letter in the issue: no issue, its digits are pairs")
        << "201300A 04 05 06" << none << QVector<int>{20, 13, 0, 4, 5} << true;
    QTest::newRow("issue alone") << "2013001" << i2013001 << QVector<int>{} << false;
    QTest::newRow("empty line") << "" << none << QVector<int>{} << false;
    QTest::newRow("out of range numbers are still read")
        << "2013001 00 16 99 01 02" << i2013001 << QVector<int>{0, 16, 99, 1, 2} << false;
}

void HistoryLineTest::tolerantReading() {
    QFETCH(QString, line);
    QFETCH(std::optional<qint64>, issue);
    QFETCH(QVector<int>, numbers);
    QFETCH(bool, moreThanFive);
    const ParsedHistoryLine p = parseHistoryLine(line);
    QCOMPARE(p.issue, issue);
    QCOMPARE(p.count, int(numbers.size()));
    for (int i = 0; i < p.count; ++i)
        QCOMPARE(p.numbers[i], numbers[i]);
    QCOMPARE(p.moreThanFive, moreThanFive);
}

void HistoryLineTest::linesWithoutIssueNumberOn() {
    HistoryLineReader reader;
    QCOMPARE(reader.read(u"03 07 09 11 14").issue, std::nullopt);
    const auto first = reader.read(u"2013001 03 07 09 11 14");
    QCOMPARE(first.issue, std::optional<qint64>(2013001));
    QVERIFY(first.issueWritten);
    const auto second = reader.read(u"03 07 09 11 14");
    QCOMPARE(second.issue, std::optional<qint64>(2013002));
    QVERIFY(!second.issueWritten);
    QCOMPARE(reader.read(u"01 02 03 04 05").issue, std::optional<qint64>(2013003));
    QCOMPARE(reader.read(u"2014001 01 02 03 04 05").issue, std::optional<qint64>(2014001));

    HistoryLineReader after(2013099);
    QCOMPARE(after.read(u"01 02 03 04 05").issue, std::optional<qint64>(2013100));
}

QTEST_GUILESS_MAIN(HistoryLineTest)
#include "tst_historyline.moc"
