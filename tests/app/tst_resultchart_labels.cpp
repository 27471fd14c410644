// The charts' labels at every size: counts whole on or above their bars, never over each other,
// every category and axis step labelled, and each bar's tooltip found under the pointer.
#include "app/charts/BacktestChart.h"
#include "app/charts/BarLabels.h"
#include "app/charts/BarTooltips.h"
#include "app/charts/ResultChart.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QTextDocumentFragment>
#include <QtTest>
#include <QValueAxis>

#include <functional>

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

using Draw = std::function<void(QChartView*)>;

// A tally compared with chance (so the legend takes its room too), counts near highest.
Draw tallyOf(const QStringList& categories, qint64 highest) {
    FollowResult r;
    r.followDraws = highest * 3;
    for (int i = 0; i < categories.size(); ++i) {
        r.bars.append({i, categories[i], highest - i * (highest / 40)});
        FollowResult::Baseline b;
        b.expected = double(highest) * 0.98;
        b.p = 0.5;
        r.baseline.append(b);
    }
    return [r](QChartView* view) { showResultChart(view, r, 0); };
}

Draw backtestOf(int issues, int hitsEach) {
    BacktestResult r;
    for (int i = 0; i < issues; ++i) {
        BacktestRow row;
        row.issue = 2274001 + i;
        row.hits = hitsEach;
        row.expected = 0.9 * hitsEach;
        r.rows.append(row);
    }
    return [r](QChartView* view) { showBacktestChart(view, r); };
}

QStringList numbers(int first, int last) {
    QStringList texts;
    for (int v = first; v <= last; ++v)
        texts << QString::number(v);
    return texts;
}

} // namespace

Q_DECLARE_METATYPE(Draw)

class ResultChartLabelsTest : public QObject {
    Q_OBJECT
private slots:
    void labelsFitAtEverySize_data();
    void labelsFitAtEverySize();
    void tooltipOfTheBarUnderThePointer();
    void everyLabelShown_data();
    void everyLabelShown();
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

void ResultChartLabelsTest::everyLabelShown_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Draw>("draw");
    const QStringList zodiac =
        QStringLiteral("鼠牛虎兔龙蛇马羊猴鸡狗猪").split(QString(), Qt::SkipEmptyParts);
    const QList<QPair<const char*, Draw>> charts{
        {"numbers, few draws", tallyOf(numbers(1, 15), 12)},
        {"numbers, combination over 100000 draws", tallyOf(numbers(1, 15), 19040)},
        {"numbers, 1000000 draws", tallyOf(numbers(1, 15), 1700000)},
        {"zodiac", tallyOf(zodiac, 19040)},
        {"tails", tallyOf(numbers(0, 9), 19040)},
        {"heads", tallyOf(numbers(0, 1), 19040)},
        {"three-digit labels", tallyOf(numbers(100, 114), 19040)},
        {"backtest of one issue", backtestOf(1, 1)},
        {"backtest of three issues", backtestOf(3, 2)},
        {"backtest of 5000 issues", backtestOf(5000, 5)}};
    // The result chart beside its grid at 1366x768, the backtest chart there, both charts at
    // 1024x640, then wider and narrower.
    const QList<QPair<const char*, QSize>> sizes{
        {"1366x768", {256, 290}}, {"1366x768 backtest", {612, 270}},
        {"1024x640", {288, 195}}, {"wide", {900, 500}},
        {"narrow", {200, 220}},   {"least", {150, 170}}};
    for (const auto& [sizeName, size] : sizes)
        for (const auto& [chartName, draw] : charts)
            QTest::addRow("%s, %s", chartName, sizeName) << size << draw;
}

void ResultChartLabelsTest::everyLabelShown() {
    QFETCH(QSize, size);
    QFETCH(Draw, draw);
    // Drawn at a very different size first, then resized as a window is; the fit then settles.
    QChartView view;
    view.resize(size.width() < 400 ? QSize(900, 500) : QSize(150, 150));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    draw(&view);
    QApplication::processEvents();
    view.resize(size);
    QApplication::processEvents();
    QChart* chart = view.chart();
    QSignalSpy moved(chart, &QChart::plotAreaChanged);
    QTest::qWait(20);
    QCOMPARE(moved.count(), 0);
    // What the scene shows, each text as drawn (a turned one as turned).
    QVector<QPair<QString, QRectF>> texts;
    for (QGraphicsItem* item : view.scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            text && text->isVisible() && !text->toPlainText().isEmpty())
            texts.append({text->toPlainText(), text->sceneBoundingRect()});
    const QRectF shown = view.mapToScene(view.viewport()->rect()).boundingRect();
    // The title whole, its lines wrapped to the width rather than cut short.
    const auto letters = [](QString text) {
        text.remove(QRegularExpression(QStringLiteral("\\s")));
        return text;
    };
    const QString title = letters(QTextDocumentFragment::fromHtml(chart->title()).toPlainText());
    const auto whole = std::find_if(texts.cbegin(), texts.cend(), [&](const auto& text) {
        return letters(text.first) == title && shown.contains(text.second);
    });
    QVERIFY2(!title.isEmpty() && whole != texts.cend(), qPrintable(title));
    const QRectF plot = chart->mapToScene(chart->plotArea()).boundingRect();
    auto at = [&](double x, double y) {
        return chart->mapToScene(chart->mapToPosition({x, y}, chart->series().first()));
    };
    // Each label the axes hold and where its middle belongs: a category under its bar, an
    // issue under its place, a count step beside its height.
    QVector<QPair<QString, QRectF>> wanted;
    QAbstractAxis* x = chart->axes(Qt::Horizontal).first();
    if (auto* bars = qobject_cast<QBarCategoryAxis*>(x))
        for (int i = 0; i < bars->count(); ++i)
            wanted.append({bars->at(i),
                           {QPointF(at(i - 0.5, 0).x(), plot.bottom()),
                            QPointF(at(i + 0.5, 0).x(), shown.bottom())}});
    else
        for (const QString& issue : qobject_cast<QCategoryAxis*>(x)->categoriesLabels()) {
            const double middle = at(qobject_cast<QCategoryAxis*>(x)->endValue(issue), 0).x();
            wanted.append(
                {issue, {QPointF(middle - 2, plot.bottom()), QPointF(middle + 2, shown.bottom())}});
        }
    QVERIFY(!wanted.isEmpty());
    auto* counts = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
    for (qint64 v = 0; v <= counts->max(); v += qint64(counts->tickInterval()))
        wanted.append(
            {QString::number(v),
             {QPointF(shown.left(), at(0, v).y() - 2), QPointF(plot.left(), at(0, v).y() + 2)}});
    // Each shown once, whole; clear of every other text but where fifteen labels can only crowd.
    // Qt rounds a label's place to a whole pixel: a pixel of overlap is rounding.
    for (const auto& [label, where] : wanted) {
        QVector<QRectF> found;
        for (const auto& [text, rect] : texts)
            if (text == label && where.contains(rect.center()))
                found << rect;
        QVERIFY2(found.size() == 1, qPrintable(label));
        QVERIFY2(shown.contains(found[0]), qPrintable(label));
        for (const auto& [text, rect] : texts) {
            const QRectF overlap = rect.intersected(found[0]);
            QVERIFY2(size.width() <= 150 || rect == found[0] || overlap.width() <= 1 ||
                         overlap.height() <= 1,
                     qPrintable(label + QStringLiteral(" over ") + text));
        }
    }
}

QTEST_MAIN(ResultChartLabelsTest)
#include "tst_resultchart_labels.moc"
