// The chart's labels at every size: counts whole on or above their bars, never over each other,
// and each bar's tooltip found under the pointer.
#include "app/BacktestChart.h"
#include "app/BarLabels.h"
#include "app/BarTooltips.h"
#include "app/ResultChart.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
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

// A tally of the given categories, each count near highest, compared with chance (so the
// legend takes its room below the plot too).
FollowResult tallyOf(const QStringList& categories, qint64 highest) {
    FollowResult r;
    r.followDraws = highest * 3;
    for (int i = 0; i < categories.size(); ++i) {
        r.bars.append({i, categories[i], highest - i * (highest / 40)});
        FollowResult::Baseline b;
        b.expected = double(highest) * 0.98;
        b.p = 0.5;
        r.baseline.append(b);
    }
    return r;
}

// A backtest of issues tried from issue 2274001 on, hitting hitsEach times each.
BacktestResult backtestOf(int issues, int hitsEach) {
    BacktestResult r;
    for (int i = 0; i < issues; ++i) {
        BacktestRow row;
        row.issue = 2274001 + i;
        row.hits = hitsEach;
        row.expected = hitsEach * 0.9;
        row.variance = hitsEach * 0.5;
        r.rows.append(row);
    }
    return r;
}

// What a chart's scene shows: each text where it is drawn (a turned one as turned), within the
// view, round the plot.
struct Shown {
    struct Text {
        QString text;
        QRectF at;
    };
    QVector<Text> texts;
    QRectF view;
    QRectF plot;
};

Shown shownIn(QChartView& view) {
    Shown shown{{},
                view.mapToScene(view.viewport()->rect()).boundingRect(),
                view.chart()->mapToScene(view.chart()->plotArea()).boundingRect()};
    for (QGraphicsItem* item : view.scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (text && text->isVisible() && !text->toPlainText().trimmed().isEmpty())
            shown.texts.append({text->toPlainText(), text->sceneBoundingRect()});
    }
    return shown;
}

// Draws a chart at a very different size first, then resizes it as a window is; fitting its
// labels must then settle.
void drawAndResize(QChartView& view, QSize size, const std::function<void()>& draw) {
    view.resize(size.width() < 400 ? QSize(900, 500) : QSize(150, 150));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    draw();
    QApplication::processEvents();
    view.resize(size);
    QApplication::processEvents();
    QSignalSpy moved(view.chart(), &QChart::plotAreaChanged);
    QTest::qWait(20);
    QCOMPARE(moved.count(), 0);
}

// Checks that exactly one text reads label where wanted says, and that it lies within the view;
// with clear, also clear of every other text. Qt rounds each label's place to a whole pixel: a
// pixel of overlap is rounding.
void checkLabel(const Shown& shown, const QString& label, bool clear,
                const std::function<bool(const QRectF&)>& wanted) {
    QVector<QRectF> found;
    for (const Shown::Text& t : shown.texts)
        if (t.text == label && wanted(t.at))
            found << t.at;
    QVERIFY2(found.size() == 1,
             qPrintable(QStringLiteral("%1 shown %2 times").arg(label).arg(found.size())));
    const QRectF at = found.first();
    QVERIFY2(shown.view.contains(at), qPrintable(label));
    for (const Shown::Text& other : shown.texts) {
        const QRectF overlap = at.intersected(other.at);
        if (clear && other.at != at && overlap.width() > 1 && overlap.height() > 1)
            QFAIL(qPrintable(QStringLiteral("%1 over %2").arg(label, other.text)));
    }
}

// Checks each step of the count axis: its label beside its height.
void checkCountSteps(QChartView& view, const Shown& shown, QAbstractSeries* series, bool clear) {
    QChart* chart = view.chart();
    auto* counts = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
    QVERIFY(counts->tickInterval() > 0);
    for (qint64 v = 0; v <= qint64(counts->max()); v += qint64(counts->tickInterval())) {
        const double y = chart->mapToScene(chart->mapToPosition(QPointF(0, v), series)).y();
        checkLabel(shown, QString::number(v), clear, [&](const QRectF& r) {
            return r.center().x() < shown.plot.left() && std::abs(r.center().y() - y) < 2;
        });
        if (QTest::currentTestFailed())
            return;
    }
}

} // namespace

class ResultChartLabelsTest : public QObject {
    Q_OBJECT
private slots:
    void labelsFitAtEverySize_data();
    void labelsFitAtEverySize();
    void tooltipOfTheBarUnderThePointer();
    void everyCategoryLabelled_data();
    void everyCategoryLabelled();
    void backtestAxesLabelled_data();
    void backtestAxesLabelled();
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

void ResultChartLabelsTest::everyCategoryLabelled_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<qint64>("highest");
    QTest::addColumn<bool>("clear");
    QStringList numbers, tails, wider;
    for (int v = 1; v <= 15; ++v)
        numbers << QString::number(v);
    for (int v = 0; v <= 9; ++v)
        tails << QString::number(v);
    for (int v = 100; v <= 114; ++v)
        wider << QString::number(v);
    const QStringList zodiac =
        QStringLiteral("鼠牛虎兔龙蛇马羊猴鸡狗猪").split(QString(), Qt::SkipEmptyParts);
    const struct {
        const char* name;
        QStringList categories;
        qint64 highest;
    } tallies[] = {{"numbers, few draws", numbers, 12},
                   {"numbers, combination over 100000 draws", numbers, 19040},
                   {"numbers, 1000000 draws", numbers, 1700000},
                   {"zodiac", zodiac, 19040},
                   {"tails", tails, 19040},
                   {"heads", {QStringLiteral("0"), QStringLiteral("1")}, 19040},
                   {"three-digit labels", wider, 19040}};
    // The chart beside the result grid at 1366x768 and in its tab at 1024x640, and the least
    // chart, where fifteen labels can only crowd.
    const struct {
        const char* name;
        QSize size;
        bool clear;
    } sizes[] = {{"1366x768", QSize(256, 290), true},
                 {"1024x640", QSize(288, 216), true},
                 {"wide", QSize(900, 500), true},
                 {"narrow", QSize(200, 300), true},
                 {"least", QSize(150, 150), false}};
    for (const auto& s : sizes)
        for (const auto& t : tallies)
            QTest::addRow("%s, %s", t.name, s.name)
                << s.size << t.categories << t.highest << s.clear;
}

void ResultChartLabelsTest::everyCategoryLabelled() {
    QFETCH(QSize, size);
    QFETCH(QStringList, categories);
    QFETCH(qint64, highest);
    QFETCH(bool, clear);
    QChartView view;
    drawAndResize(view, size, [&] { showResultChart(&view, tallyOf(categories, highest), 0); });
    if (QTest::currentTestFailed())
        return;
    QChart* chart = view.chart();
    QAbstractSeries* series = chart->series().first();
    const Shown shown = shownIn(view);
    // Each category under its own bar.
    for (int i = 0; i < categories.size(); ++i) {
        const double left = chart->mapToScene(chart->mapToPosition({i - 0.5, 0}, series)).x();
        const double right = chart->mapToScene(chart->mapToPosition({i + 0.5, 0}, series)).x();
        checkLabel(shown, categories[i], clear, [&](const QRectF& r) {
            return r.center().y() > shown.plot.bottom() && r.center().x() > left &&
                   r.center().x() < right;
        });
        if (QTest::currentTestFailed())
            return;
    }
    checkCountSteps(view, shown, series, clear);
}

void ResultChartLabelsTest::backtestAxesLabelled_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("issues");
    QTest::addColumn<int>("hitsEach");
    QTest::addColumn<bool>("clear");
    const struct {
        const char* name;
        int issues;
        int hitsEach;
    } runs[] = {{"one issue", 1, 1},
                {"three issues", 3, 2},
                {"100 issues", 100, 1},
                {"5000 issues of 5 hits", 5000, 5}};
    const struct {
        const char* name;
        QSize size;
        bool clear;
    } sizes[] = {{"1366x768", QSize(612, 270), true},
                 {"1024x640", QSize(288, 195), true},
                 {"narrow", QSize(200, 200), true},
                 {"least", QSize(150, 150), true}};
    for (const auto& s : sizes)
        for (const auto& r : runs)
            QTest::addRow("%s, %s", r.name, s.name) << s.size << r.issues << r.hitsEach << s.clear;
}

void ResultChartLabelsTest::backtestAxesLabelled() {
    QFETCH(QSize, size);
    QFETCH(int, issues);
    QFETCH(int, hitsEach);
    QFETCH(bool, clear);
    QChartView view;
    drawAndResize(view, size, [&] { showBacktestChart(&view, backtestOf(issues, hitsEach)); });
    if (QTest::currentTestFailed())
        return;
    QChart* chart = view.chart();
    QAbstractSeries* series = chart->series().first();
    const Shown shown = shownIn(view);
    // Some issue numbers, each under its own place.
    auto* issueAxis = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).first());
    QVERIFY(!issueAxis->categoriesLabels().isEmpty());
    for (const QString& label : issueAxis->categoriesLabels()) {
        const double x =
            chart->mapToScene(chart->mapToPosition({issueAxis->endValue(label), 0}, series)).x();
        checkLabel(shown, label, clear, [&](const QRectF& r) {
            return r.center().y() > shown.plot.bottom() && std::abs(r.center().x() - x) < 2;
        });
        if (QTest::currentTestFailed())
            return;
    }
    checkCountSteps(view, shown, series, clear);
}

QTEST_MAIN(ResultChartLabelsTest)
#include "tst_resultchart_labels.moc"
