#pragma once
// Draws a chart (candlesticks or a line, a volume pane, axes and heading) with QPainter, onto an
// image or any paint device. Takes the aggregated series and the picture's size; knows nothing
// of the store.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>

#include "chart/chart_scale.h"
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
inline const QColor kBand{0xD6, 0xE2, 0xFF};  // the high-low range under the line
}  // namespace colours

// Where things go in a picture of a given size. Pixel rows and columns are whole numbers.
struct ChartLayout {
    QRect plot;    // the price pane
    QRect volume;  // the volume pane; empty when the series has no volume
    int slotCount = 1;
    PriceScale prices;
    double volumeMax = 0;

    // The pixel columns of slot k: its left edge and width (fractional) and its centre pixel.
    double SlotLeft(int k) const;
    double SlotWidth() const;
    int SlotCentre(int k) const;
    // The pixel row of a price in the price pane, and the top of a volume bar in its pane.
    int PriceY(double price) const;
    int VolumeY(double volume) const;
};

// The smallest and largest picture sizes the chart is drawn at.
inline constexpr int kMinWidth = 320, kMaxWidth = 8000;
inline constexpr int kMinHeight = 200, kMaxHeight = 8000;

// The width of the plot in pixel columns for a picture `width` wide: the column count the rows
// are aggregated into.
int PlotColumns(int width);

ChartLayout LayoutChart(const ChartSeries& series, QSize size);

// Paints the whole picture (page included) into the rectangle (0, 0, size).
void PaintChart(QPainter& painter, const ChartSeries& series, QSize size);

// The chart as an RGB image of the given size.
QImage ChartImage(const ChartSeries& series, QSize size);

}  // namespace tarnwick::chart
