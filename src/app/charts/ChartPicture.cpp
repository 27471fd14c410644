#include "ChartPicture.h"

#include "export/ExportTemporary.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QPainter>
#include <QSvgGenerator>
#include <QTextDocumentFragment>

namespace quorvex {

namespace {

QByteArray svgOf(QChartView* view) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(view->size());
    svg.setViewBox(QRect(QPoint(0, 0), view->size()));
    // The drawing's title is the chart's, its lines joined.
    QString title = QTextDocumentFragment::fromHtml(view->chart()->title()).toPlainText();
    svg.setTitle(title.remove(QChar::LineSeparator).remove(QLatin1Char('\n')));
    QPainter painter(&svg);
    // The scene, not the widget: the chart's shapes and texts stay drawings, not pixels.
    view->scene()->render(&painter, QRectF(QPointF(0, 0), view->size()), view->sceneRect());
    painter.end();
    return buffer.data();
}

QByteArray pngOf(QChartView* view) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!view->grab().save(&buffer, "PNG"))
        return {};
    return buffer.data();
}

} // namespace

QString pictureSuffix(PictureFormat format) {
    return format == PictureFormat::Png ? QStringLiteral(".png") : QStringLiteral(".svg");
}

bool saveChartPicture(QChartView* view, const ExportTarget& target, PictureFormat format,
                      QString* error) {
    const QByteArray bytes = format == PictureFormat::Png ? pngOf(view) : svgOf(view);
    if (bytes.isEmpty()) {
        *error = QStringLiteral("无法生成图表的图片。");
        return false;
    }
    QString why;
    if (!writeExportFile(target, bytes, &why)) {
        *error = QStringLiteral("无法写入 %1：%2").arg(target.path(), why);
        return false;
    }
    return true;
}

} // namespace quorvex
