#pragma once
// The chart library's face to the host tool, free of Qt types: the picture's bytes as PNG or
// SVG.
#include <string>

#include "chart/chart_series.h"

namespace tarnwick::chart {

enum class ChartFormat { Png, Svg };

// Draws series at width x height and encodes it. Starts Qt's GUI layer when nobody has (on the
// offscreen platform unless QT_QPA_PLATFORM names another: a chart never needs a display).
// Returns false with a reason in error when the picture cannot be made.
bool RenderChart(const ChartSeries& series, int width, int height, ChartFormat format,
                 std::string& bytes, std::string& error);

}  // namespace tarnwick::chart
