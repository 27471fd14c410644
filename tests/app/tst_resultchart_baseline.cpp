// The chart's comparison with chance: expected markers, outlines of marked bars, the line under
// the chart.
#include "app/charts/BarTooltips.h"
#include "app/charts/ResultChart.h"
#include "presentation/ChanceTexts.h"

#include "analysis/ChanceBaseline.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QScatterSeries>
#include <QtTest>

using namespace quorvex;

namespace {

FollowResult resultWith(const QVector<bool>& marked, bool tested) {
    FollowResult r;
    r.followDraws = 30;
    for (int v = 0; v < marked.size(); ++v) {
        r.bars.append({v, QString::number(v), 10 + v});
        FollowResult::Baseline b;
        b.expected = 9.5 + v;
        b.ratio = (10.0 + v) / b.expected;
        if (tested) {
            b.p = marked[v] ? 0.0001 : 0.5;
            b.correctedP = marked[v] ? 0.001 : 1.0;
        }
        b.marked = marked[v];
        r.baseline.append(b);
    }
    return r;
}

} // namespace

class ResultChartBaselineTest : public QObject {
    Q_OBJECT
private slots:
    void chartShowsExpectedAndMarks_data();
    void chartShowsExpectedAndMarks();
};

void ResultChartBaselineTest::chartShowsExpectedAndMarks_data() {
    QTest::addColumn<QVector<bool>>("marked");
    QTest::addColumn<bool>("tested");
    QTest::addColumn<int>("outlines");
    QTest::addColumn<QString>("summary");
    QTest::newRow("none marked") << QVector<bool>{false, false, false} << true << 0
                                 << QStringLiteral("无显著偏离");
    QTest::newRow("two marked") << QVector<bool>{true, false, true} << true << 2
                                << QStringLiteral(
                                       "2 个值与期望的偏离超出随机波动（Holm 校正 p < 0.01）");
    QTest::newRow("no test") << QVector<bool>{false, false, false} << false << 0
                             << QStringLiteral("未与期望比较：跟随期数少于20或无变化");
}

void ResultChartBaselineTest::chartShowsExpectedAndMarks() {
    QFETCH(QVector<bool>, marked);
    QFETCH(bool, tested);
    QFETCH(int, outlines);
    QFETCH(QString, summary);
    const FollowResult r = resultWith(marked, tested);
    QChartView view;
    showResultChart(&view, r, 0);
    int lines = 0;
    QScatterSeries* expected = nullptr;
    for (QAbstractSeries* s : view.chart()->series()) {
        if (auto* scatter = qobject_cast<QScatterSeries*>(s))
            expected = scatter;
        else if (qobject_cast<QLineSeries*>(s))
            ++lines;
    }
    QCOMPARE(lines, outlines);
    QCOMPARE(baselineSummary(r), summary);
    // Each tip names its figures as the grid's heading does, in the grid's forms.
    const auto* tooltips = view.chart()->findChild<BarTooltips*>();
    QVERIFY(tooltips);
    const QStringList names = baselineHeader();
    for (int i = 0; i < marked.size(); ++i) {
        const QStringList cells = baselineCells(r.baseline[i]);
        for (int c : {ExpectedColumn, RatioColumn, CorrectedPColumn})
            QVERIFY2(tooltips->texts()[i].contains(names[c] + QStringLiteral("：") + cells[c]),
                     qPrintable(tooltips->texts()[i]));
    }
    // Without a comparison the expected figures are no yardstick: not drawn.
    if (!tested) {
        QVERIFY(!expected);
        QVERIFY(!view.chart()->legend()->isVisible());
        return;
    }
    QVERIFY(expected);
    QCOMPARE(expected->name(), names[ExpectedColumn]);
    QCOMPARE(expected->count(), marked.size());
    for (int i = 0; i < marked.size(); ++i)
        QCOMPARE(expected->at(i), QPointF(i, r.baseline[i].expected));
    QVERIFY(view.chart()->legend()->isVisible());
}

QTEST_MAIN(ResultChartBaselineTest)
#include "tst_resultchart_baseline.moc"
