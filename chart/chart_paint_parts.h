#pragma once
// Parts of the chart's drawing shared by the painter's units: fonts at the picture's scale, the
// heading, the tags on the price axis and the crosshair.
#include <QFont>
#include <QPainter>
#include <QPoint>
#include <QString>
#include <optional>
#include <string>

#include "chart/chart_layout.h"
#include "chart/chart_series.h"

namespace tarnwick::chart {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The chart's sans-serif font at `pixels` of the 1200 x 700 picture, scaled.
QFont ChartFont(const ChartLayout& l, double pixels, bool bold = false);

// The newest candle: the series' `latest`, else its last column with a price.
std::optional<ChartColumn> Newest(const ChartSeries& s);

// The column with rows under the pointer, when the pointer is over a pane.
std::optional<int> HoveredColumn(const ChartSeries& s, const ChartLayout& l, QPoint pointer);

// The longest form of the subtitle that fits `width` pixels in the subtitle's font; the shortest,
// elided, when none does.
QString FittingSubtitle(const ChartSeries& s, const ChartLayout& l, double width);

// The title, the longest subtitle that fits (else the shortest, elided), and top right the
// values of the hovered column or of the newest one, when there is room.
void DrawHeading(QPainter& p, const ChartSeries& s, const ChartLayout& l, QSize size,
                 std::optional<int> hovered);

// A filled tag on the price axis at pixel row y.
void DrawAxisTag(QPainter& p, const ChartLayout& l, int y, const QString& text,
                 const QColor& colour);

// Dashed lines through the hovered column and the pointer, the value at the pointer on the
// right axis and the column's date/time on the time axis.
void DrawCrosshair(QPainter& p, const ChartSeries& s, const ChartLayout& l, QPoint pointer,
                   std::optional<int> hovered);

}  // namespace tarnwick::chart
