#include "FileFacts.h"
#include "ReadOnlyFolder.h"
#include "SearchOnStore.h"
#include "TestHistory.h"
#include "WorkbookReader.h"

#include "draw/AttributeKind.h"
#include "export/GridWorkbook.h"
#include "export/SheetExport.h"
#include "presentation/TrendGridTexts.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;

namespace {

using Cells = QList<QStringList>;

// The worksheet as read back, every cell checked to be stored as text.
Cells sheetOf(const QString& path) {
    QString why;
    const auto cells = readSheetCells(path, QStringLiteral("Sheet1"), &why);
    if (!cells) {
        qWarning("%s", qPrintable(why));
        return {};
    }
    if (nonTextCellCount(path) != 0) {
        qWarning("%s holds cells that are not text", qPrintable(path));
        return {};
    }
    return *cells;
}

Cells gridCells(const QStringList& header, const QVector<QStringList>& rows) {
    return Cells{header} + Cells(rows.begin(), rows.end());
}

} // namespace

class SheetExportTest : public QObject {
    Q_OBJECT
private slots:
    void fileNamesOfTheGrids();
    void gridCellsLandOneRowAndColumnOn_data();
    void gridCellsLandOneRowAndColumnOn();
    void historyWorkbookHoldsTheHistoryGrid_data();
    void historyWorkbookHoldsTheHistoryGrid();
    void trendWorkbookHoldsNumbersAsNumbers_data();
    void trendWorkbookHoldsNumbersAsNumbers();
    void exportingAgainReplacesTheFile();
    void unwritableTargetIsReportedAndChangesNothing_data();
    void unwritableTargetIsReportedAndChangesNothing();
    void readOnlyFolderKeepsTheOlderFile();
    void leftoversOfKilledExportsAreRemoved();
};

void SheetExportTest::fileNamesOfTheGrids() {
    QCOMPARE(sheetFileName(ExportedGrid::History), QStringLiteral("lishi.xls"));
    QCOMPARE(sheetFileName(ExportedGrid::Matches), QStringLiteral("Jiansuo.xls"));
    QCOMPARE(sheetFileName(ExportedGrid::Results), QStringLiteral("Jieguo.xls"));
    QCOMPARE(sheetFileName(ExportedGrid::Backtest), QStringLiteral("Huice.xls"));
    QCOMPARE(sheetFileName(ExportedGrid::Trend), QStringLiteral("Zoushi.xls"));
}

void SheetExportTest::gridCellsLandOneRowAndColumnOn_data() {
    QTest::addColumn<int>("grid");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QVector<QStringList>>("rows");
    const QStringList matchHeader{QStringLiteral("期号"),    QStringLiteral("第1码"),
                                  QStringLiteral("第2码"),   QStringLiteral("第3码"),
                                  QStringLiteral("第4码"),   QStringLiteral("第5码"),
                                  QStringLiteral("上期开奖")};
    const QStringList resultHeader{QStringLiteral("序号"), QStringLiteral("结果"),
                                   QStringLiteral("出现次数"), QStringLiteral("百分比")};
    QTest::newRow("matches") << int(ExportedGrid::Matches) << matchHeader
                             << QVector<QStringList>{
                                    {"2013005", "3", "7", "9", "11", "14", "01 02 03 04 05 "},
                                    {"2013009", "鼠", "牛", "虎", "兔", "龙", "15 14 13 12 11 "}};
    QTest::newRow("no match") << int(ExportedGrid::Matches) << matchHeader
                              << QVector<QStringList>{};
    QTest::newRow("results") << int(ExportedGrid::Results) << resultHeader
                             << QVector<QStringList>{{"1", "7", "13", "6.500%"},
                                                     {"2", "03", "0", "0.000%"}};
    // No follow draw: no percentage, the cells stay empty; a short row is padded.
    QTest::newRow("results without percentages")
        << int(ExportedGrid::Results) << resultHeader
        << QVector<QStringList>{{"1", "0", "0", ""}, {"2", "1", "0"}};
    QTest::newRow("empty result grid")
        << int(ExportedGrid::Results) << resultHeader << QVector<QStringList>{};
    QTest::newRow("texts that CSV must quote")
        << int(ExportedGrid::Results) << QStringList{"a,b", "say \"hi\"", "=1+1"}
        << QVector<QStringList>{{"0012", "1e5", " lead"}};
}

void SheetExportTest::gridCellsLandOneRowAndColumnOn() {
    QFETCH(int, grid);
    QFETCH(QStringList, header);
    QFETCH(QVector<QStringList>, rows);
    QTemporaryDir folder;
    QString error;
    const auto path = exportGridSheet(ExportedGrid(grid), header, rows, folder.path(), &error);
    QVERIFY2(path, qPrintable(error));
    QCOMPARE(*path, QDir(folder.path()).filePath(sheetFileName(ExportedGrid(grid))));

    Cells expected = gridCells(header, rows);
    for (QStringList& row : expected) {
        while (row.size() < header.size())
            row << QString();
    }
    QCOMPARE(sheetOf(*path), expected);
    QCOMPARE(filesIn(folder.path()), QStringList{sheetFileName(ExportedGrid(grid))});
}

void SheetExportTest::historyWorkbookHoldsTheHistoryGrid_data() {
    QTest::addColumn<QVector<Numbers>>("draws");
    QTest::newRow("empty history") << QVector<Numbers>{};
    QTest::newRow("one draw") << QVector<Numbers>{{3, 7, 9, 11, 14}};
    QVector<Numbers> many;
    for (int i = 0; i < 60; ++i)
        many << Numbers{1 + i % 15, 1 + (i + 4) % 15, 1 + (i + 8) % 15, 1 + (i + 11) % 15,
                        1 + (i + 13) % 15};
    QTest::newRow("sixty draws") << many;
}

void SheetExportTest::historyWorkbookHoldsTheHistoryGrid() {
    QFETCH(QVector<Numbers>, draws);
    TempHistory h;
    h.appendMany(2013001, draws);
    QString error;
    const auto path = exportHistorySheet(h.store(), h.folder(), &error);
    QVERIFY2(path, qPrintable(error));
    QCOMPARE(*path, QDir(h.folder()).filePath(QStringLiteral("lishi.xls")));

    // Written out by hand, as the history grid shows it: no leading zeros.
    Cells expected{{"期号", "第1码", "第2码", "第3码", "第4码", "第5码"}};
    for (qsizetype i = 0; i < draws.size(); ++i) {
        QStringList row{QString::number(2013001 + i)};
        for (int n : draws[i])
            row << QString::number(n);
        expected << row;
    }
    QCOMPARE(sheetOf(*path), expected);
}

void SheetExportTest::trendWorkbookHoldsNumbersAsNumbers_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("numbers") << int(Number);
    QTest::newRow("zodiac") << int(Zodiac);
    QTest::newRow("tails") << int(Tail);
}

// Zoushi.xls: a row naming what it holds, the trend grid with its issues and omissions as numbers
// and each drawn value marked, then the summary with its figures as numbers; every text as the
// page shows it.
void SheetExportTest::trendWorkbookHoldsNumbersAsNumbers() {
    QFETCH(int, kind);
    TempHistory h;
    QVector<Numbers> draws;
    for (int i = 0; i < 30; ++i)
        draws << Numbers{1 + i % 15, 1 + (i + 4) % 15, 1 + (i + 8) % 15, 1 + (i + 11) % 15,
                         1 + (i + 13) % 15};
    h.appendMany(2013001, draws);
    QString error;
    const auto trend = trendOnStore(h.store(), kind, 2013001, 2013030, 0, &error);
    QVERIFY2(trend, qPrintable(error));
    const auto path = exportTrendSheet(*trend, QDate(2026, 12, 9), h.folder(), &error);
    QVERIFY2(path, qPrintable(error));
    QCOMPARE(*path, QDir(h.folder()).filePath(QStringLiteral("Zoushi.xls")));

    QString why;
    const auto cells = readSheetCells(*path, QStringLiteral("Sheet1"), &why);
    QVERIFY2(cells, qPrintable(why));
    QCOMPARE(cells->first().first(),
             QStringLiteral("%1走势：第 2013001 至 2013030 期，共 30 期。导出于 2026-12-09。")
                 .arg(kindCaption(kind)));
    const QVector<QStringList> summary = trendSummaryUnderGrid(*trend, fairOmission(*trend));
    QList<QStringList> expected{trendGridHeader(*trend)};
    for (qsizetype r = 0; r < trend->rows(); ++r)
        expected << trendGridRow(*trend, r);
    expected << QStringList() << QList<QStringList>(summary.begin(), summary.end());
    QCOMPARE(cells->size(), 1 + expected.size());

    const auto forms = sheetCellForms(*path);
    QVERIFY(forms);
    QHash<QPair<int, int>, SheetCellForm> formAt;
    for (const SheetCellForm& f : *forms)
        formAt.insert({f.row, f.column}, f);
    const int firstSummary = 2 + int(trend->rows()) + 1;
    for (int r = 0; r < expected.size(); ++r) {
        const int row = r + 1;
        for (int c = 0; c < expected[r].size(); ++c) {
            const QString& text = expected[r][c];
            if (text.isEmpty())
                continue;
            const SheetCellForm form = formAt.value({row, c});
            const bool drawn = row >= 2 && row < firstSummary - 1 && c >= 2 &&
                               trend->drawnCount(row - 2, c - 2) > 0;
            const bool number = row >= 2 && c != 1 && !drawn && !(row >= firstSummary && c == 0);
            QVERIFY2(form.number == number && form.formatted == drawn,
                     qPrintable(QStringLiteral("row %1 column %2: %3").arg(row).arg(c).arg(text)));
            // A number reads back as its value: 0.4000 may come back as 0.4.
            const QString read = cells->at(row).value(c);
            if (number)
                QVERIFY2(qAbs(read.toDouble() - text.toDouble()) <= 1e-9 * qAbs(text.toDouble()),
                         qPrintable(read + " " + text));
            else
                QCOMPARE(read, text);
        }
    }
}

void SheetExportTest::exportingAgainReplacesTheFile() {
    QTemporaryDir folder;
    const QStringList header{QStringLiteral("序号"), QStringLiteral("结果")};
    QString error;
    QVERIFY(exportGridSheet(ExportedGrid::Results, header, {{"1", "old"}, {"2", "older"}},
                            folder.path(), &error));
    const auto path =
        exportGridSheet(ExportedGrid::Results, header, {{"1", "new"}}, folder.path(), &error);
    QVERIFY2(path, qPrintable(error));
    QCOMPARE(sheetOf(*path), (Cells{header, {"1", "new"}}));
    QCOMPARE(filesIn(folder.path()), QStringList{QStringLiteral("Jieguo.xls")});
}

void SheetExportTest::unwritableTargetIsReportedAndChangesNothing_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("folder missing") << QStringLiteral("missing/sub");
    QTest::newRow("folder is a file") << QStringLiteral("plain.txt");
    QTest::newRow("file name taken by a folder") << QStringLiteral(".");
}

void SheetExportTest::unwritableTargetIsReportedAndChangesNothing() {
    QFETCH(QString, where);
    QTemporaryDir top;
    QFile plain(top.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("kept");
    plain.close();
    const QString taken = top.filePath(QStringLiteral("lishi.xls"));
    if (where == QLatin1String(".")) {
        QVERIFY(QDir().mkpath(taken));
        QFile inside(taken + QStringLiteral("/inside"));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.close();
    }
    const QStringList before = filesIn(top.path());

    QString error;
    QVERIFY(!exportGridSheet(ExportedGrid::History, {"期号"}, {{"2013001"}},
                             QDir(top.path()).filePath(where), &error));
    QVERIFY(error.contains(QStringLiteral("没有改动")));
    QCOMPARE(filesIn(top.path()), before);
    QCOMPARE(readAll(plain.fileName()), QByteArray("kept"));
    if (where == QLatin1String("."))
        QCOMPARE(filesIn(taken), QStringList{QStringLiteral("inside")});
}

void SheetExportTest::readOnlyFolderKeepsTheOlderFile() {
    QTemporaryDir top;
    QVERIFY(QFile::setPermissions(top.path(), QFile::permissions(top.path()) | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString folder = top.filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(folder));
    QString error;
    const auto older =
        exportGridSheet(ExportedGrid::Matches, {"期号"}, {{"2013001"}}, folder, &error);
    QVERIFY2(older, qPrintable(error));
    const QByteArray olderBytes = readAll(*older);

    bool written = false;
    {
        ReadOnlyFolder readOnly(folder);
        if (!readOnly.effective())
            QSKIP("cannot make a folder unwritable here");
        written = exportGridSheet(ExportedGrid::Matches, {"期号"}, {{"2013002"}}, folder, &error)
                      .has_value();
    }
    QVERIFY(!written);
    QVERIFY(error.contains(QStringLiteral("没有改动")));
    QCOMPARE(readAll(*older), olderBytes);
    QCOMPARE(filesIn(folder), QStringList{QStringLiteral("Jiansuo.xls")});
    QCOMPARE(sheetOf(*older), (Cells{{"期号"}, {"2013001"}}));
}

// A killed export leaves its unlocked temporary file; the next export to the same file removes
// it, and leaves alone what a running export holds and what another naming made.
void SheetExportTest::leftoversOfKilledExportsAreRemoved() {
    QTemporaryDir folder;
    const QStringList left{"Jieguo.xls.0123abcd.tmp", "Jieguo.xls.89abcdef.tmp", "Jieguo.xls.tmp",
                           "Jieguo.xls.0123ABCD.tmp", "lishi.xls.0123abcd.tmp"};
    for (const QString& name : left) {
        QFile f(folder.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("partial");
    }
    const QByteArray running = QFile::encodeName(folder.filePath(left[1]));
    const int fd = ::open(running.constData(), O_RDONLY);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX), 0);
    QString error;
    const auto path =
        exportGridSheet(ExportedGrid::Results, {"序号"}, {{"1"}}, folder.path(), &error);
    ::close(fd);
    QVERIFY2(path, qPrintable(error));
    QStringList expected = left.mid(1) << QStringLiteral("Jieguo.xls");
    expected.sort();
    QCOMPARE(filesIn(folder.path()), expected);
}

QTEST_GUILESS_MAIN(SheetExportTest)
#include "tst_sheetexport.moc"
