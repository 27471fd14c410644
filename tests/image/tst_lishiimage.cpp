// A history image comes back from its bytes cell for cell, in the form written now and in the
// form earlier versions wrote, however the history was edited; a history this program wrote
// takes a few bytes a draw.
#include "ChangeScenarios.h"
#include "image/CellCoding.h"
#include "store/LishiTable.h"

#include <QSqlQuery>
#include <QtTest>

#include <random>

using namespace quorvex;
using namespace quorvex::test;

namespace {

// The bytes earlier versions wrote: every cell as it is.
QByteArray firstFormBytes(const LishiImage& image) {
    QByteArray payload;
    putInteger(payload, 0);
    putBytes(payload, "old");
    putVarint(payload, quint64(image.columns.size()));
    for (const QString& c : image.columns)
        putBytes(payload, c.toUtf8());
    putVarint(payload, quint64(image.rows));
    return "QUORVEX-LISHI 1\n" + qCompress(payload + image.cells, 1);
}

void compareImages(const LishiImage& read, const LishiImage& image) {
    QCOMPARE(read.columns, image.columns);
    QCOMPARE(read.rows, image.rows);
    QVERIFY(read.cells == image.cells);
    QCOMPARE(read.draws.size(), image.draws.size());
    for (qsizetype r = 0; r < image.draws.size(); ++r) {
        QCOMPARE(read.draws[r].issue, image.draws[r].issue);
        QVERIFY(read.draws[r].numbers == image.draws[r].numbers);
    }
}

} // namespace

class LishiImageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void imagesComeBackCellForCell_data();
    void imagesComeBackCellForCell();
    void writtenHistoryTakesFewBytesADraw();
};

void LishiImageTest::initTestCase() {
    static QTemporaryDir settings;
    isolateSettings(settings.path());
}

void LishiImageTest::imagesComeBackCellForCell_data() {
    QTest::addColumn<QStringList>("edits");
    QTest::newRow("mixed bases and stray cells") << QStringList{};
    QTest::newRow("numbers no draw holds")
        << QStringList{"UPDATE Lishi SET L3A = 99 WHERE SQQH = 2001010",
                       "UPDATE Lishi SET L1A = NULL WHERE SQQH = 2001011",
                       "UPDATE Lishi SET L5A = -3, L5B = 'x' WHERE SQQH = 2001050"};
    QTest::newRow("issues apart and zodiac of other years")
        << QStringList{"UPDATE Lishi SET SQQH = SQQH + 1000 WHERE SQQH > 2001040",
                       "UPDATE Lishi SET QQH = 1 WHERE SQQH = 2001020",
                       "UPDATE Lishi SET L1B = (L1B + 1) % 12 WHERE SQQH % 3 = 0"};
    QTest::newRow("texts edited") << QStringList{
        "UPDATE Lishi SET txtHisLst = 'x' WHERE SQQH = 2001030",
        "UPDATE Lishi SET txtHisLstSx = NULL WHERE SQQH % 4 = 1",
        "UPDATE Lishi SET L2G = 12345678901 WHERE SQQH = 2001031"};
    QTest::newRow("columns missing")
        << QStringList{"ALTER TABLE Lishi DROP COLUMN txtHisP6",
                       "ALTER TABLE Lishi DROP COLUMN L2A", "ALTER TABLE Lishi DROP COLUMN QQH"};
    QTest::newRow("empty") << QStringList{"DELETE FROM Lishi"};
}

// Both forms read back exactly; bytes damaged inside the packing are refused or read as some
// whole image, never past their end.
void LishiImageTest::imagesComeBackCellForCell() {
    QFETCH(QStringList, edits);
    TempHistory h;
    fillMixed(h, 80);
    QSqlQuery q(h.store().database());
    for (const QString& sql : edits)
        QVERIFY2(q.exec(sql), qPrintable(sql));
    QString why;
    const auto image = readLishiImage(h.store(), &why);
    QVERIFY2(image, qPrintable(why));
    const QDateTime taken = QDateTime::currentDateTime();
    const QByteArray bytes = image->toBytes(taken, "test");
    QVERIFY(bytes.startsWith("QUORVEX-LISHI 2\n"));
    // Read without keeping its cells, as a change reads the history before it: the same bytes,
    // hash and draws.
    const auto digest = readLishiDigest(h.store(), &why);
    QVERIFY2(digest, qPrintable(why));
    QVERIFY(digest->cells.isEmpty());
    QCOMPARE(digest->contentHash(), image->contentHash());
    QCOMPARE(digest->toBytes(taken, "test"), bytes);
    compareImages(LishiImage::fromBytes(bytes, &why)->image, *image);
    for (const QByteArray& form : {bytes, firstFormBytes(*image)}) {
        const auto read = LishiImage::fromBytes(form, &why);
        QVERIFY2(read, qPrintable(why));
        compareImages(read->image, *image);
    }

    const QByteArray plain = qUncompress(bytes.mid(16));
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        QByteArray damaged = plain;
        const qsizetype at = qsizetype(random() % quint32(damaged.size()));
        damaged[at] = char(random());
        const auto read = LishiImage::fromBytes("QUORVEX-LISHI 2\n" + qCompress(damaged), &why);
        if (read) {
            const auto again = LishiImage::fromBytes(
                read->image.toBytes(QDateTime::currentDateTime(), "again"), &why);
            QVERIFY2(again, qPrintable(why));
            compareImages(again->image, read->image);
        }
    }
}

void LishiImageTest::writtenHistoryTakesFewBytesADraw() {
    TempHistory h;
    std::mt19937 random(3);
    QVector<Numbers> draws;
    for (int i = 0; i < 3000; ++i) {
        std::array<int, 15> all{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        std::shuffle(all.begin(), all.end(), random);
        draws.append({all[0], all[1], all[2], all[3], all[4]});
    }
    // Issues run over three zodiac years; the bases change half way.
    h.appendMany(2019001, draws.mid(0, 1500), {1, 1});
    h.appendMany(2019001 + 1500, draws.mid(1500), {0, 1});
    QString why;
    const auto image = readLishiImage(h.store(), &why);
    QVERIFY2(image, qPrintable(why));
    const qsizetype size = image->toBytes(QDateTime::currentDateTime(), "test").size();
    QVERIFY2(size < 4 * image->rows, qPrintable(QString::number(size)));
}

QTEST_GUILESS_MAIN(LishiImageTest)
#include "tst_lishiimage.moc"
