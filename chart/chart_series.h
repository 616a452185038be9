#pragma once
// The data a chart is drawn from: a table's rows as columns (the rows themselves, or candles of
// a calendar period, several to a column when they outnumber the pixels), plus the texts of its
// heading and, in the window, the stretch of the time axis shown. Plain C++, so that the store
// readers and the tests share it without Qt.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_period.h"

namespace tarnwick::chart {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// Prices with a larger magnitude are not drawn (treated like a missing value), so that the
// scale's arithmetic stays finite.
inline constexpr double kLargestPrice = 1e15;

// The rows that fall into one column. Times are date/times (days since 30 December 1899, the
// fraction the time of day); prices are NaN when none of the column's rows had one.
struct ChartColumn {
    double firstTime = kNoValue;
    double lastTime = kNoValue;
    double open = kNoValue;
    double high = kNoValue;
    double low = kNoValue;
    double close = kNoValue;
    double volume = 0;
    int64_t rows = 0;

    bool HasPrice() const { return !std::isnan(close); }
};

enum class ChartStyle { Candles, Line };

struct ChartSeries {
    std::string title;     // "DEMO  1-minute bars"
    std::string subtitle;  // the span shown, the row count, the period
    // Shorter forms of the subtitle, longest first, for pictures too narrow for it.
    std::vector<std::string> shortSubtitles;
    ChartStyle style = ChartStyle::Candles;
    bool hasVolume = false;
    bool logScale = false;               // prices on a logarithmic axis (all above 0)
    std::string priceLabel = "Price";    // the line's name (Line style)
    std::string volumeLabel = "Volume";  // the lower pane's name
    std::vector<ChartColumn> columns;    // left to right
    // The period the columns are candles of (time labels keep to its boundaries); nullopt when
    // they are the rows themselves or plain groups of rows.
    std::optional<Period> period;
    // The stretch of the axis shown, in columns: the plot is `slotSpan` columns wide (0: exactly
    // the columns) and the first column's left edge lies `firstSlot` columns right of the plot's
    // left edge (negative: partly scrolled out). The window pans and zooms with these.
    double firstSlot = 0;
    double slotSpan = 0;
    // The table's newest candle when it lies beyond the columns shown (the window scrolled
    // back): its close still gets the last-price line and tag.
    std::optional<ChartColumn> latest;
};

// Whether v is a price the chart can draw.
inline bool IsDrawablePrice(double v) {
    return std::isfinite(v) && std::fabs(v) <= kLargestPrice;
}

}  // namespace tarnwick::chart
