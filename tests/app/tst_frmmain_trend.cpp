#include "AppTestSupport.h"
#include "SearchOnStore.h"
#include "WorkbookReader.h"

#include "analysis/FairOmission.h"
#include "presentation/TrendGridTexts.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>

using namespace quorvex;
using namespace quorvex::test;

// The page 走势 shows the core's trend of the kind and range chosen, as the core words it, and
// exports it whole on a double click.
class FrmMainTrendTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pageShowsTheCoreTrend_data();
    void pageShowsTheCoreTrend();
    void doubleClickExportsThePage();
    void pageFitsTheWindow_data();
    void pageFitsTheWindow();
    void emptyHistoryIsSaidOnThePage();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

TrendPanel* openTrendPage(frmMain& w) {
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        qFatal("window not shown");
    TrendPanel* page = w.findChild<TrendPanel*>();
    w.findChild<ResultsPanel*>()->pages()->setCurrentWidget(page);
    return page;
}

// The core's trend over the issues from..to, or the last `last` of them, read afresh.
TrendFigures coreTrend(HistoryStore& store, int kind, qint64 from, qint64 to, qsizetype last) {
    QString why;
    const auto trend = trendOnStore(store, kind, from, to, last, &why);
    if (!trend)
        qFatal("no trend: %s", qPrintable(why));
    return *trend;
}

} // namespace

void FrmMainTrendTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainTrendTest::pageShowsTheCoreTrend_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("searchRange");
    QTest::newRow("numbers, last 100") << int(Number) << false;
    QTest::newRow("zodiac, the search's range") << int(Zodiac) << true;
    QTest::newRow("tails, last 100") << int(Tail) << false;
}

void FrmMainTrendTest::pageShowsTheCoreTrend() {
    QFETCH(int, kind);
    QFETCH(bool, searchRange);
    WindowFixture f(2022300, sampleDraws(150));
    auto& [h, dialogs, w] = f;
    TrendPanel* page = openTrendPage(w);
    child<QComboBox>(w, "trendKind")->setCurrentIndex(kind);
    child<QComboBox>(w, "trendRange")->setCurrentIndex(searchRange ? 0 : 1);
    // A draw stored after the page was shown is on it once the window takes the change.
    h.append(2022450, {1, 2, 3, 4, 5});
    w.refreshAfterHistoryChange();

    const TrendFigures trend = coreTrend(h.store(), kind, *w.session().startIssue(),
                                         *w.session().endIssue(), searchRange ? 0 : 100);
    QTableView* grid = page->grid();
    QCOMPARE(grid->model()->rowCount(), trend.rows());
    QStringList header;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        header << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(header, trendGridHeader(trend));
    for (const qsizetype row : {qsizetype(0), trend.rows() - 1}) {
        QStringList shown;
        for (int c = 0; c < header.size(); ++c)
            shown << cell(grid, int(row), c);
        QCOMPARE(shown, trendGridRow(trend, row));
    }
    // The summary stands under the value columns, one row per figure.
    const QVector<QStringList> summary = trendSummaryRows(trend, fairOmission(trend));
    QAbstractItemModel* below = page->summaryGrid()->model();
    QCOMPARE(below->rowCount(), trendSummaryHeader().size() - 1);
    for (int f = 0; f < below->rowCount(); ++f) {
        QCOMPARE(below->index(f, 0).data().toString(), trendSummaryHeader()[f + 1]);
        QCOMPARE(below->index(f, TrendGridModel::kValueColumn + 1).data().toString(),
                 summary[1][f + 1]);
    }
    QVERIFY(below->index(below->rowCount() - 1, 3)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("不会因此更容易")));
    QCOMPARE(dialogs.messages(), 0);
}

void FrmMainTrendTest::doubleClickExportsThePage() {
    WindowFixture f(2022300, sampleDraws(40));
    auto& [h, dialogs, w] = f;
    TrendPanel* page = openTrendPage(w);
    QTest::mouseDClick(page->grid()->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    const QString path = QDir(h.folder()).filePath(QStringLiteral("Zoushi.xls"));
    QCOMPARE(dialogs.opened(), QStringList{path});
    QCOMPARE(w.statusBar()->currentMessage(), "已保存：" + QDir::toNativeSeparators(path));
    QString why;
    const auto cells = readSheetCells(path, QStringLiteral("Sheet1"), &why);
    QVERIFY2(cells, qPrintable(why));
    // The trend shown, under a row naming it: the core's sheet of that trend.
    QVERIFY(
        cells->first().first().startsWith(QStringLiteral("号码走势：第 2022300 至 2022339 期")));
    QCOMPARE(cells->at(1), trendGridHeader(*page->shownTrend()));
    QCOMPARE(cells->size(), 1 + 1 + 40 + 1 + 8);
}

void FrmMainTrendTest::pageFitsTheWindow_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("numbers, 1366x768") << int(Number) << QSize(1366, 738) << false;
    QTest::newRow("zodiac, 1366x768") << int(Zodiac) << QSize(1366, 738) << false;
    QTest::newRow("numbers, 1024x640") << int(Number) << QSize(1024, 610) << true;
}

// While the page is shown the search options make room for it: at 1366x768 every value of the
// kind is in view; narrower, the values scroll while the issue and the draw stay. The draw's
// column keeps its width whatever the range.
void FrmMainTrendTest::pageFitsTheWindow() {
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QFETCH(bool, scrolls);
    WindowFixture f(2022300, sampleDraws(150));
    auto& [h, dialogs, w] = f;
    w.resize(size);
    TrendPanel* page = openTrendPage(w);
    child<QComboBox>(w, "trendKind")->setCurrentIndex(kind);
    QTableView* grid = page->grid();
    QTRY_VERIFY(grid->model()->rowCount() == 100);
    auto* options = w.findChild<SearchOptionsPanel*>();
    QVERIFY(!options->isVisible());
    QApplication::processEvents();
    QTRY_COMPARE(grid->horizontalScrollBar()->isVisible(), scrolls);
    if (scrolls) {
        grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
        auto* frozen = child<QTableView>(w, "trendGridFrozen");
        QTRY_VERIFY(frozen->isVisible());
        QVERIFY(!frozen->isColumnHidden(1) && frozen->isColumnHidden(2));
    }
    const int drawWidth = grid->columnWidth(1);
    for (qsizetype row = 0; row < grid->model()->rowCount(); ++row)
        QVERIFY(grid->fontMetrics().horizontalAdvance(cell(grid, int(row), 1)) < drawWidth);
    child<QSpinBox>(w, "trendLast")->setValue(7);
    QTRY_COMPARE(grid->model()->rowCount(), 7);
    QCOMPARE(grid->columnWidth(1), drawWidth);
    w.resultsPanel()->pages()->setCurrentIndex(0);
    QVERIFY(options->isVisible());
}

void FrmMainTrendTest::emptyHistoryIsSaidOnThePage() {
    WindowFixture f;
    auto& [h, dialogs, w] = f;
    TrendPanel* page = openTrendPage(w);
    QVERIFY(child<QLabel>(w, "trendCaption")->text().contains(QStringLiteral("历史号码是空的")));
    QCOMPARE(page->grid()->model()->rowCount(), 0);
    QCOMPARE(dialogs.messages(), 0);
}

QTEST_MAIN(FrmMainTrendTest)
#include "tst_frmmain_trend.moc"
