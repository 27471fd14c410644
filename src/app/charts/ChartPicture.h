#pragma once

#include "export/ExportTarget.h"

#include <QString>

class QChartView;

namespace quorvex {

enum class PictureFormat { Png, Svg };

// ".png" or ".svg".
QString pictureSuffix(PictureFormat format);

// Writes the chart as the view shows it to the target: a PNG of the view's pixels, or an SVG
// drawing of the chart. A file already there is replaced only once the picture is complete;
// false with the reason otherwise.
bool saveChartPicture(QChartView* view, const ExportTarget& target, PictureFormat format,
                      QString* error);

} // namespace quorvex
