#include "FileFacts.h"
#include "FollowOracle.h"
#include "ReadOnlyFolder.h"
#include "TestHistory.h"

#include "export/HistoryTextExport.h"
#include "import/TextImport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <random>

using namespace quorvex;
using namespace quorvex::test;

namespace {} // namespace

class TextExportTest : public QObject {
    Q_OBJECT
private slots:
    void linesAreTheHistoryTextFormat_data();
    void linesAreTheHistoryTextFormat();
    void sameHistoryOverwritesNewDrawGivesNewFile();
    void exportThenImportGivesTheSameHistory_data();
    void exportThenImportGivesTheSameHistory();
    void emptyHistoryWritesNothing();
    void unwritableTargetIsReportedAndWritesNothing_data();
    void unwritableTargetIsReportedAndWritesNothing();
    void readOnlyFolderKeepsTheOlderFile();
};

void TextExportTest::linesAreTheHistoryTextFormat_data() {
    QTest::addColumn<QVector<Numbers>>("draws");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("one draw") << QVector<Numbers>{{3, 7, 9, 11, 14}}
                              << QByteArray("2013001 03 07 09 11 14 \r\n");
    QTest::newRow("below and above ten")
        << QVector<Numbers>{{1, 2, 3, 4, 5}, {15, 10, 12, 11, 13}, {9, 10, 1, 15, 8}}
        << QByteArray("2013001 01 02 03 04 05 \r\n"
                      "2013002 15 10 12 11 13 \r\n"
                      "2013003 09 10 01 15 08 \r\n");
}

void TextExportTest::linesAreTheHistoryTextFormat() {
    QFETCH(QVector<Numbers>, draws);
    QFETCH(QByteArray, expected);
    TempHistory h;
    h.appendMany(2013001, draws);
    QString error;
    const auto path = exportHistoryText(h.store(), h.folder(), &error);
    QVERIFY2(path, qPrintable(error));
    const qint64 last = 2013001 + draws.size() - 1;
    QCOMPARE(*path, QDir(h.folder()).filePath(QStringLiteral("更新至%1期历史号码.txt").arg(last)));
    const QByteArray bytes = readAll(*path);
    QCOMPARE(bytes, expected);
    // 23 characters ending in a blank, then CR LF, on every line.
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        QCOMPARE(line.size(), 24);
        QVERIFY(line.endsWith(" \r"));
    }
}

void TextExportTest::sameHistoryOverwritesNewDrawGivesNewFile() {
    TempHistory h;
    h.appendMany(2013001, {{3, 7, 9, 11, 14}, {1, 2, 3, 4, 5}});
    QString error;
    const auto first = exportHistoryText(h.store(), h.folder(), &error);
    QVERIFY2(first, qPrintable(error));
    // Spoil the file: the second export must rewrite it, not leave it.
    QFile spoil(*first);
    QVERIFY(spoil.open(QIODevice::WriteOnly));
    spoil.write("stale");
    spoil.close();

    const auto again = exportHistoryText(h.store(), h.folder(), &error);
    QVERIFY2(again, qPrintable(error));
    QCOMPARE(*again, *first);
    QCOMPARE(readAll(*again), QByteArray("2013001 03 07 09 11 14 \r\n2013002 01 02 03 04 05 \r\n"));
    QCOMPARE(filesIn(h.folder()).filter(QStringLiteral(".txt")).size(), 1);

    h.append(2013003, {15, 14, 13, 12, 11});
    const auto next = exportHistoryText(h.store(), h.folder(), &error);
    QVERIFY2(next, qPrintable(error));
    QVERIFY(next->endsWith(QStringLiteral("更新至2013003期历史号码.txt")));
    QCOMPARE(readAll(*next), QByteArray("2013001 03 07 09 11 14 \r\n2013002 01 02 03 04 05 \r\n"
                                        "2013003 15 14 13 12 11 \r\n"));
    // The earlier export is another file and stays.
    QCOMPARE(readAll(*first), QByteArray("2013001 03 07 09 11 14 \r\n2013002 01 02 03 04 05 \r\n"));
}

void TextExportTest::exportThenImportGivesTheSameHistory_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 4; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

// Random histories, the smallest (0000001) and largest (9999999) issues among them, with and
// without holes: what is exported imports back to the same issues and numbers, line for line.
void TextExportTest::exportThenImportGivesTheSameHistory() {
    QFETCH(quint32, seed);
    std::mt19937 random(seed);
    const QVector<Numbers> draws = randomDraws(300, seed);
    QVector<qint64> issues;
    qint64 issue = seed % 2 ? 1 : 2012001;
    for (qsizetype i = 0; i < draws.size(); ++i) {
        issues << issue;
        issue += seed == 3 ? 1 + random() % 30000 : 1 + random() % 2;
    }
    if (seed >= 2)
        issues.last() = 9999999;
    TempHistory source;
    {
        HistoryStore::Transaction t(source.store());
        for (qsizetype i = 0; i < draws.size(); ++i)
            source.append(issues[i], draws[i]);
        QString error;
        QVERIFY2(t.commit(&error), qPrintable(error));
    }
    QString error;
    const auto path = exportHistoryText(source.store(), source.folder(), &error);
    QVERIFY2(path, qPrintable(error));
    QVERIFY(readAll(*path).startsWith(seed % 2 ? "0000001 " : "2012001 "));

    TempHistory target;
    const ImportReport report =
        importHistoryFile(target.store(), *path, ValueBases{}, nullptr, ImportFaults::Accept);
    QVERIFY2(report.replaced, qPrintable(report.summary()));
    QVERIFY(report.problems.isEmpty());
    const auto exported = source.store().loadNumbers(&error);
    const auto imported = target.store().loadNumbers(&error);
    QVERIFY(exported && imported);
    QCOMPARE(imported->size(), exported->size());
    for (qsizetype i = 0; i < exported->size(); ++i) {
        QCOMPARE((*imported)[i].issue, (*exported)[i].issue);
        QCOMPARE((*imported)[i].numbers, (*exported)[i].numbers);
    }
    // No draw is stored after 9999999, so the history keeps its round trip.
    ZodiacYear zodiac;
    const auto after =
        target.store().appendNextDraw({1, 2, 3, 4, 5}, std::nullopt, std::nullopt, ValueBases{},
                                      zodiac, QDate::currentDate(), &error);
    QCOMPARE(after.has_value(), seed < 2);
    if (!after)
        QVERIFY2(error.contains("9999999"), qPrintable(error));
}

void TextExportTest::emptyHistoryWritesNothing() {
    TempHistory h;
    const QStringList before = filesIn(h.folder());
    QString error;
    QVERIFY(!exportHistoryText(h.store(), h.folder(), &error));
    QVERIFY(error.contains(QStringLiteral("空")));
    QCOMPARE(filesIn(h.folder()), before);
}

void TextExportTest::unwritableTargetIsReportedAndWritesNothing_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("folder missing") << QStringLiteral("missing/sub");
    QTest::newRow("folder is a file") << QStringLiteral("plain.txt");
    QTest::newRow("file name taken by a folder") << QStringLiteral(".");
}

void TextExportTest::unwritableTargetIsReportedAndWritesNothing() {
    QFETCH(QString, where);
    TempHistory h;
    h.append(2013001, {3, 7, 9, 11, 14});
    QFile plain(QDir(h.folder()).filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("kept");
    plain.close();
    // A folder under the export's own name, holding a file that must survive.
    const QString taken = QDir(h.folder()).filePath(QStringLiteral("更新至2013001期历史号码.txt"));
    if (where == QLatin1String(".")) {
        QVERIFY(QDir().mkpath(taken));
        QFile inside(taken + QStringLiteral("/inside"));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.close();
    }
    const QStringList before = filesIn(h.folder());

    QString error;
    QVERIFY(!exportHistoryText(h.store(), QDir(h.folder()).filePath(where), &error));
    QVERIFY(error.contains(QStringLiteral("没有改动")));
    QCOMPARE(filesIn(h.folder()), before);
    QCOMPARE(readAll(plain.fileName()), QByteArray("kept"));
    if (where == QLatin1String("."))
        QVERIFY(QFileInfo::exists(taken + QStringLiteral("/inside")));
}

void TextExportTest::readOnlyFolderKeepsTheOlderFile() {
    TempHistory h;
    h.append(2013001, {3, 7, 9, 11, 14});
    QTemporaryDir top;
    QVERIFY(QFile::setPermissions(top.path(), QFile::permissions(top.path()) | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString folder = top.filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(folder));
    const QString older = QDir(folder).filePath(QStringLiteral("更新至2013001期历史号码.txt"));
    QFile file(older);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("older");
    file.close();

    QString error;
    bool written = false;
    {
        ReadOnlyFolder readOnly(folder);
        if (!readOnly.effective())
            QSKIP("cannot make a folder unwritable here");
        written = exportHistoryText(h.store(), folder, &error).has_value();
    }
    QVERIFY(!written);
    QVERIFY(error.contains(QStringLiteral("没有改动")));
    QCOMPARE(readAll(older), QByteArray("older"));
    QCOMPARE(filesIn(folder), QStringList{QStringLiteral("更新至2013001期历史号码.txt")});
}

QTEST_GUILESS_MAIN(TextExportTest)
#include "tst_textexport.moc"
