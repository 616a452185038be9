#pragma once
// The data a chart is drawn from: a table's rows aggregated into columns (one per row while the
// rows fit the picture's width, else one per pixel column), plus the texts of its heading.
// Plain C++, so that the command that reads the store and the tests share it without Qt.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

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
    std::string subtitle;  // the span shown and the row count
    ChartStyle style = ChartStyle::Candles;
    bool hasVolume = false;
    std::string priceLabel = "Price";    // the line's name (Line style)
    std::string volumeLabel = "Volume";  // the lower pane's name
    std::vector<ChartColumn> columns;    // left to right
};

// Streams rows into at most `width` columns: with g = ceil(n / width) rows a column there are
// ceil(n / g) columns, and row i of n goes to column i * columns / n, so every column gets g or
// g - 1 rows. Memory is one ChartColumn per column, whatever n is.
class ColumnAggregator {
  public:
    // rows: how many rows will be added; width: the plot's width in pixel columns.
    ColumnAggregator(int64_t rows, int width);

    // One row. Prices that are not finite or beyond kLargestPrice count as missing: a bar with
    // only a close is a point; a row without a close adds only its time and volume.
    void Add(double time, double open, double high, double low, double close, double volume);

    int64_t Added() const { return added_; }
    std::vector<ChartColumn> Take();

  private:
    int64_t rows_;
    int64_t slots_;
    int64_t added_ = 0;
    std::vector<ChartColumn> columns_;
};

// Whether v is a price the chart can draw.
inline bool IsDrawablePrice(double v) {
    return std::isfinite(v) && std::fabs(v) <= kLargestPrice;
}

}  // namespace tarnwick::chart
