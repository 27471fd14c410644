#include "AppTestSupport.h"

#include "FollowOracle.h"

#include "analysis/ResultTally.h"
#include "app/charts/BacktestChart.h"
#include "app/charts/BarTooltips.h"
#include "app/common/Controls.h"
#include "presentation/BacktestGridTexts.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>

using namespace quorvex;
using namespace quorvex::test;

// 回测 in the window: the options as they stand go to the core's backtest, its table, chart
// and summary are shown on their own page, Cancel and refusals leave the display as it was.
class FrmMainBacktestTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void showsTheCoreBacktest_data();
    void showsTheCoreBacktest();
    void cancelKeepsThePreviousDisplay();
    void outdatedMarkSpeaksOfThePageShown();
    void refusedWithOneWarning_data();
    void refusedWithOneWarning();

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

namespace {

// What the backtest page shows: the table's rows and the summary line.
QPair<QVector<QStringList>, QString> shown(frmMain& w) {
    return {gridRows(child<QTableView>(w, "backtestGrid")),
            child<QLabel>(w, "backtestSummary")->text()};
}

void runBacktest(frmMain& w, int issues, int topK, bool combination) {
    child<QSpinBox>(w, "backtestIssues")->setValue(issues);
    child<QSpinBox>(w, "backtestTopK")->setValue(topK);
    child<QCheckBox>(w, "backtestCombination")->setChecked(combination);
    child<QPushButton>(w, "backtestButton")->click();
}

// The heights of the chart's line with this name.
QVector<double> chartLine(frmMain& w, const QString& name) {
    QVector<double> heights;
    for (QAbstractSeries* s : child<QChartView>(w, "backtestChart")->chart()->series())
        if (auto* line = qobject_cast<QLineSeries*>(s); line && line->name() == name)
            for (const QPointF& p : line->points())
                heights << p.y();
    return heights;
}

} // namespace

void FrmMainBacktestTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    isolateSettings(settingsDir_->path());
}

void FrmMainBacktestTest::showsTheCoreBacktest_data() {
    QTest::addColumn<bool>("combination");
    QTest::addColumn<int>("positions"); // 组合位数
    QTest::addColumn<int>("searchKind");
    QTest::addColumn<int>("resultKind");
    QTest::addColumn<bool>("free");
    QTest::addColumn<int>("issues");
    QTest::addColumn<int>("topK");
    QTest::newRow("follow, numbers, defaults") << false << 2 << 0 << 0 << true << 100 << 3;
    QTest::newRow("follow, fixed tails, zodiac names") << false << 2 << 3 << 1 << false << 40 << 2;
    QTest::newRow("combination over 3, digit sums") << true << 3 << 4 << 0 << true << 60 << 3;
    QTest::newRow("more issues than the history, heads")
        << false << 2 << 5 << 2 << true << 1000 << 1;
}

void FrmMainBacktestTest::showsTheCoreBacktest() {
    QFETCH(bool, combination);
    QFETCH(int, positions);
    QFETCH(int, searchKind);
    QFETCH(int, resultKind);
    QFETCH(bool, free);
    QFETCH(int, issues);
    QFETCH(int, topK);
    WindowFixture f(2013001, randomDraws(150, 23 + searchKind), Shown::Exposed);
    auto& [h, dialogs, w] = f;
    child<QRadioButton>(w, indexed("Option3", searchKind))->click();
    child<QRadioButton>(w, indexed("Option4", resultKind))->click();
    child<QRadioButton>(w, free ? "Option1_1" : "Option1_0")->click();
    auto* combo = child<QComboBox>(w, "Combo1");
    combo->setEditText(QString::number(positions));
    for (int i = 1; i <= 5; ++i)
        child<QCheckBox>(w, indexed("Check1", i))->setChecked(i == 1 || i == 4);
    runBacktest(w, issues, topK, combination);
    QCOMPARE(dialogs.messages(), 0);

    // The same options stated on a session of their own.
    HistorySnapshot snapshot;
    SearchSession session(h.store(), snapshot);
    Settings s;
    s.intLei = searchKind;
    s.intXianshiLei = resultKind;
    s.bolZyw = free;
    s.intZhWSetup = positions;
    session.setSettings(s);
    QVERIFY(session.historyChanged());
    SearchSession::BacktestRange range;
    range.lastIssues = issues;
    QString error;
    const auto expected = session.runBacktest(session.request({true, false, false, true, false}),
                                              combination, range, topK, {});
    QVERIFY2(expected, qPrintable(error));
    QVERIFY(!expected->rows.isEmpty());

    auto labels = [&](const auto& values) {
        QStringList out;
        for (int v : values)
            out << valueLabel(resultKind, v, s.SxIni);
        return out.join(' ');
    };
    QVector<QStringList> rows;
    for (const BacktestRow& r : expected->rows)
        rows << QStringList{QString::number(r.issue), labels(r.top), labels(r.drawn),
                            QString::number(r.hits), QString::number(r.expected, 'f', 3)};
    QCOMPARE(shown(w), qMakePair(rows, backtestSummary(*expected)));
    QVERIFY(child<QLabel>(w, "backtestSummary")->isVisible());
    // Every option the run used is said above the table, the ticked positions among them.
    const SearchRequest request = session.request({true, false, false, true, false});
    const QString caption = child<QLabel>(w, "backtestCaption")->text();
    QCOMPARE(caption, backtestCaption(request, combination ? positions : 0, topK, *expected));
    QVERIFY2(caption.contains(combination ? QStringLiteral("全部5码") : QStringLiteral("第1、4码")),
             qPrintable(caption));
    // Each point's tooltip holds its issue and the totals so far.
    auto* chart = child<QChartView>(w, "backtestChart");
    const auto* tips = chart->chart()->findChild<BarTooltips*>();
    QVERIFY(tips);
    QCOMPARE(tips->texts(), backtestPointTips(*expected, backtestCurves(*expected)));
    // The chart ends on the totals.
    QCOMPARE(chartLine(w, "累计命中").size(), expected->rows.size() + 1);
    QCOMPARE(chartLine(w, "累计命中").last(), double(expected->hits));
    QVERIFY(qAbs(chartLine(w, "随机期望").last() - expected->expected) < 1e-9);
}

void FrmMainBacktestTest::cancelKeepsThePreviousDisplay() {
    WindowFixture f(2013001, randomDraws(600, 5), Shown::Exposed);
    // Plain references, not bindings: the lambda below captures the window.
    frmMain& w = f.w;
    ScriptedDialogs& dialogs = f.dialogs;
    runBacktest(w, 30, 3, false);
    const auto before = shown(w);
    QCOMPARE(before.first.size(), 30);

    // Cancel pressed as soon as the progress shows; the backtest reports no progress after it.
    w.setProgressDelay(0);
    bool progressShown = false;
    int reportsAfterCancel = 0;
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, &w, [&] {
        auto* progress = w.findChild<QProgressDialog*>();
        if (!progress || !progress->isVisible())
            return;
        progressShown = true;
        canceller.stop();
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(progress->value() < progress->maximum());
        connect(progress->findChild<QProgressBar*>(), &QProgressBar::valueChanged, &w,
                [&] { ++reportsAfterCancel; });
    });
    canceller.start(0);
    runBacktest(w, 600, 3, true);
    QVERIFY(progressShown);
    QCOMPARE(reportsAfterCancel, 0);
    QCOMPARE(shown(w), before);
    QCOMPARE(dialogs.messages(), 0);
    QVERIFY(!w.findChild<QProgressDialog*>());
    QVERIFY(!QApplication::overrideCursor());
    // The earlier results stay; the status bar says this run gave none.
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("回测已取消"));
}

void FrmMainBacktestTest::outdatedMarkSpeaksOfThePageShown() {
    WindowFixture f(2013001, randomDraws(60, 9), Shown::Exposed);
    auto& [h, dialogs, w] = f;
    child<QCheckBox>(w, "Check1_1")->setChecked(true);
    child<QPushButton>(w, "Command1")->click();
    runBacktest(w, 20, 3, false);
    auto* notice = child<QLabel>(w, "outdatedResults");
    QVERIFY(!notice->isVisible());
    h.appendMany(2013061, randomDraws(1, 10));
    w.followOutsideChanges();
    QVERIFY(notice->isVisible());
    QVERIFY(notice->text().contains("回测"));
    // A new backtest is current; the search before the change is still marked on its page.
    runBacktest(w, 20, 3, false);
    QVERIFY(!notice->isVisible());
    w.resultsPanel()->pages()->setCurrentIndex(0);
    QVERIFY(notice->isVisible());
    QVERIFY(!notice->text().contains("回测"));
}

void FrmMainBacktestTest::refusedWithOneWarning_data() {
    QTest::addColumn<int>("draws");
    QTest::addColumn<int>("tab");
    QTest::newRow("typed values") << 40 << 1;
    QTest::newRow("empty history") << 0 << 0;
}

void FrmMainBacktestTest::refusedWithOneWarning() {
    QFETCH(int, draws);
    QFETCH(int, tab);
    WindowFixture f(2013001, sampleDraws(draws), Shown::Exposed);
    auto& [h, dialogs, w] = f;
    if (draws > 0)
        runBacktest(w, 20, 3, false);
    const auto before = shown(w);
    QCOMPARE(before.first.isEmpty(), draws == 0);
    child<QTabBar>(w, "TabStrip1")->setCurrentIndex(tab);
    for (int i = 1; i <= 5; ++i)
        child<QLineEdit>(w, indexed("Text22", i))->setText(QString::number(i * 2));
    dialogs.clear();
    child<QPushButton>(w, "backtestButton")->click();
    QCOMPARE(dialogs.messages(), 1);
    QCOMPARE(dialogs.asked().first().kind, QString("warning"));
    QCOMPARE(dialogs.asked().first().title, QString("回测"));
    QCOMPARE(shown(w), before);
}

QTEST_MAIN(FrmMainBacktestTest)
#include "tst_frmmain_backtest.moc"
