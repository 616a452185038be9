#pragma once
// Draws a chart (candlesticks or a line, a volume pane, axes and heading) with QPainter, onto an
// image or any paint device: the still pictures and the chart window paint through the same
// function. Takes the series, the picture's size and, in the window, the pointer for the
// crosshair; knows nothing of the store.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <optional>

#include "chart/chart_layout.h"
#include "chart/chart_series.h"

namespace tarnwick::chart {

// The palette: a light page, grey grid and texts, teal rising and red falling columns.
namespace colours {
inline const QColor kPage{0xFF, 0xFF, 0xFF};
inline const QColor kGrid{0xEC, 0xEF, 0xF3};
inline const QColor kAxis{0xC9, 0xCF, 0xD6};
inline const QColor kText{0x5F, 0x6B, 0x7A};
inline const QColor kTitle{0x1F, 0x29, 0x33};
inline const QColor kUp{0x08, 0x99, 0x81};
inline const QColor kDown{0xF2, 0x36, 0x45};
inline const QColor kUpLight{0x9C, 0xD9, 0xCE};    // up wicks of one-pixel columns, up volume
inline const QColor kDownLight{0xF8, 0xAE, 0xB4};  // the same for falling columns
inline const QColor kVolume{0xC8, 0xD0, 0xDA};     // volume of one-pixel columns
inline const QColor kLine{0x29, 0x62, 0xFF};
inline const QColor kBand{0xD6, 0xE2, 0xFF};       // the high-low range under the line
inline const QColor kCrosshair{0x78, 0x82, 0x90};  // the pointer's lines and their tags
}  // namespace colours

// Paints the whole picture (page included) into the rectangle (0, 0, size). With a pointer over
// a pane, a crosshair: lines through the column and the pointer, the price (or volume) at the
// pointer on the right axis, the column's date/time on the time axis, and its values in the
// heading in place of the newest ones.
void PaintChart(QPainter& painter, const ChartSeries& series, QSize size,
                std::optional<QPoint> pointer = {});

// The chart as an RGB image of the given size.
QImage ChartImage(const ChartSeries& series, QSize size);

}  // namespace tarnwick::chart
