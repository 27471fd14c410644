#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QChart;
class QChartView;
class QValueAxis;

namespace quorvex {

// What the result chart and the backtest chart share: colours, fonts, the count axis, the
// legend and how a new chart takes the place of the one shown.

// The counted (bars, hits so far) and what chance gives.
QColor countedColor();
QColor expectedColor();

// A chart with its title in bold (scaled by titleScale), small margins and no animation. The
// title stays whole at every size: it is wrapped again whenever the chart is resized.
QChart* newChart(const QString& title, double titleScale = 1.0);
// The lines of a title as wide as width at most in font: broken after a comma, a stop or an
// opening bracket where that is enough, else between any two characters; explicit line breaks
// ("\n") are kept.
QStringList titleLines(const QString& title, const QFont& font, double width);
// The small font of labels and legends: four fifths of base, never under 6 points.
QFont smallFont(const QFont& base);

// The count axis: labelled at round steps (1, 2 or 5 times a power of ten), at most mostSteps
// of them above 0, ending a little above the highest count (at the next step when that wastes
// little of the plot).
struct CountAxis {
    qint64 top = 1;
    qint64 step = 1;
};
CountAxis countAxis(qint64 highest, int mostSteps = 8);
void applyCountAxis(QValueAxis* axis, const CountAxis& counts);
// Gives the count axis as many steps as a plot of this height has room for, each label clear of
// the next; leaves an axis that has them as it is.
void fitCountAxis(QValueAxis* axis, qint64 highest, double plotHeight);
// A count axis on the chart's left, from 0 to above highest, in whole numbers never cut short.
QValueAxis* addCountAxis(QChart* chart, qint64 highest, const QFont& font);

// The legend under the plot, in font.
void showLegendBelow(QChart* chart, const QFont& font);
// Shows chart in view; the chart shown before goes.
void showChart(QChartView* view, QChart* chart);

} // namespace quorvex
