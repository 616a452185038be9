#pragma once
// The chart library's face to the host tool, free of Qt types: the picture's bytes as PNG or
// SVG, and dates read the way the pump reads a request's start date.
#include <optional>
#include <string>
#include <string_view>

#include "chart/chart_series.h"

namespace tarnwick::chart {

enum class ChartFormat { Png, Svg };

// Draws series at width x height and encodes it. Starts Qt's GUI layer when nobody has (on the
// offscreen platform unless QT_QPA_PLATFORM names another: a chart never needs a display).
// Returns false with a reason in error when the picture cannot be made.
bool RenderChart(const ChartSeries& series, int width, int height, ChartFormat format,
                 std::string& bytes, std::string& error);

// The date/time a text denotes under the system's regional settings (ISO "2003-01-15" always,
// "01/01/2003", month names, an optional time of day), or nullopt when it is no date.
std::optional<double> ParseChartDate(std::string_view text);

}  // namespace tarnwick::chart
