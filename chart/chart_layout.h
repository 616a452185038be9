#pragma once
// Where a chart's parts go in a picture of a given size: the panes, the columns across the time
// axis, the price and volume scales, and the one scale factor by which text, margins and lines
// grow with the picture (a 3000 x 1500 picture reads like 1200 x 700, larger).
#include <QRect>
#include <QSize>

#include "chart/chart_scale.h"
#include "chart/chart_series.h"

namespace tarnwick::chart {

// The smallest and largest picture sizes the chart is drawn at.
inline constexpr int kMinWidth = 320, kMaxWidth = 8000;
inline constexpr int kMinHeight = 200, kMaxHeight = 8000;

// Text, margins and lines relative to a 1200 x 700 picture: the smaller of the two ratios,
// kept between 0.75 (small pictures stay legible) and 6.
double ChartScale(QSize size);

// The width of the plot in pixel columns for a picture of this size, and its left edge.
int PlotColumns(QSize size);
int PlotLeft(QSize size);

// The narrowest column the default fold allows for candles: about 3 pixels, scaled.
double MinCandleWidth(QSize size);

// Pixel rows and columns are whole numbers.
struct ChartLayout {
    QRect plot;            // the price pane
    QRect volume;          // the volume pane; empty when the series has no volume
    double slotSpan = 1;   // columns across the plot
    double firstSlot = 0;  // where column 0 begins, in columns from the plot's left edge
    double scale = 1;      // ChartScale of the picture
    PriceScale prices;
    double volumeMax = 0;

    // The pixel columns of column k: its left edge and width (fractional) and its centre pixel.
    double SlotLeft(int k) const;
    double SlotWidth() const;
    int SlotCentre(int k) const;
    // The column whose pixels hold x (any number: columns outside the series too).
    int SlotAt(double x) const;
    // The pixel row of a price in the price pane, and the top of a volume bar in its pane.
    int PriceY(double price) const;
    int VolumeY(double volume) const;
    // The price at a pixel row of the price pane, and the volume at one of the volume pane.
    double PriceAt(int y) const;
    double VolumeAt(int y) const;
    // A length of the 1200 x 700 picture at this picture's size, in whole pixels, at least 1.
    int Px(double length) const;
};

ChartLayout LayoutChart(const ChartSeries& series, QSize size);

}  // namespace tarnwick::chart
