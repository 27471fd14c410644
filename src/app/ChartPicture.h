#pragma once

#include <QString>

class QChartView;

namespace quorvex {

enum class PictureFormat { Png, Svg };

// ".png" or ".svg".
QString pictureSuffix(PictureFormat format);

// Writes the chart as the view shows it to path: a PNG of the view's pixels, or an SVG drawing
// of the chart. A file already at path is replaced only once the picture is complete; false
// with the reason otherwise.
bool saveChartPicture(QChartView* view, const QString& path, PictureFormat format, QString* error);

} // namespace quorvex
