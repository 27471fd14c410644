// The chart's labels at every size: counts whole on or above their bars, never over each other,
// and each bar's tooltip found under the pointer.
#include "app/BarLabels.h"
#include "app/BarTooltips.h"
#include "app/ResultChart.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QtTest>

using namespace quorvex;

namespace {

// Fifteen bars of four-digit counts, one short bar among them.
FollowResult fourDigitTally() {
    FollowResult r;
    r.followDraws = 3000;
    for (int v = 1; v <= 15; ++v) {
        const qint64 count = v == 7 ? 120 : 990 + 3 * v;
        r.bars.append({v, QString::number(v), count});
        FollowResult::Baseline b;
        b.expected = 1000;
        r.baseline.append(b);
    }
    return r;
}

} // namespace

class ResultChartLabelsTest : public QObject {
    Q_OBJECT
private slots:
    void labelsFitAtEverySize_data();
    void labelsFitAtEverySize();
    void tooltipOfTheBarUnderThePointer();
};

void ResultChartLabelsTest::labelsFitAtEverySize_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("wide") << QSize(900, 500);
    QTest::newRow("beside the result grid") << QSize(420, 380);
    QTest::newRow("narrow tab") << QSize(300, 260);
    QTest::newRow("least") << QSize(150, 150);
}

void ResultChartLabelsTest::labelsFitAtEverySize() {
    QFETCH(QSize, size);
    QChartView view;
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const FollowResult r = fourDigitTally();
    showResultChart(&view, r, 0);
    QApplication::processEvents();
    QChart* chart = view.chart();
    const auto* labels = chart->findChild<BarLabels*>();
    QVERIFY(labels);
    const QRectF plot = chart->plotArea();
    QVector<QRectF> shown;
    for (int i = 0; i < labels->labels().size(); ++i) {
        QGraphicsSimpleTextItem* label = labels->labels()[i];
        QCOMPARE(label->text(), QString::number(r.bars[i].count));
        if (!label->isVisible())
            continue;
        const QRectF at = label->mapToParent(label->boundingRect()).boundingRect();
        QVERIFY2(plot.adjusted(-1, -1, 1, 1).contains(at), qPrintable(label->text()));
        for (const QRectF& other : shown)
            QVERIFY2(!other.intersects(at), qPrintable(label->text()));
        shown << at;
    }
    // Where there is room at all, every count is written.
    if (size.width() >= 300)
        QCOMPARE(shown.size(), r.bars.size());
    // Category labels never shortened: turned upright when they do not fit lying.
    auto* categories = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).first());
    QVERIFY(!categories->truncateLabels());
}

void ResultChartLabelsTest::tooltipOfTheBarUnderThePointer() {
    QChartView view;
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    showResultChart(&view, fourDigitTally(), 0);
    QApplication::processEvents();
    QChart* chart = view.chart();
    const auto* tips = chart->findChild<BarTooltips*>();
    QVERIFY(tips);
    for (int bar : {0, 6, 14}) {
        const QPointF inChart = chart->mapToPosition(QPointF(bar + 0.3, 500));
        const QPoint inView = view.mapFromScene(chart->mapToScene(inChart));
        QCOMPARE(tips->barAt(inView), bar);
    }
    QCOMPARE(tips->barAt(QPoint(2, 2)), -1); // outside the plot
}

QTEST_MAIN(ResultChartLabelsTest)
#include "tst_resultchart_labels.moc"
