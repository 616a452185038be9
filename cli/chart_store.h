#pragma once
// Reading one stored table for a chart: which columns carry prices and volume, the rows of the
// range asked for streamed from SQLite into the chart's columns, and the span they cover.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_series.h"
#include "cli/date_options.h"

namespace orbfeed::cli {

// Where a chart's prices come from: column numbers from 1 (the date/time), 0 for none.
struct ChartColumnChoice {
    bool candles = false;
    int open = 0, high = 0, low = 0, close = 0, volume = 0;
};

// Tick tables (interval 0 to 0.01, or negative: bars sent as ticks) hold date/time, price and
// volume whatever their labels say, and draw as a line. Bar tables draw as candlesticks when
// their labels name Open, High, Low and Close (or when they have no labels: the fixed bar
// layout); otherwise the Close, or the first column that is neither date nor volume, as a line.
ChartColumnChoice ChooseChartColumns(float interval, const std::vector<std::string>& labels,
                                     int64_t columnCount);

struct ChartSource {
    std::string dbPath;
    std::string symbol;
    float interval = 1;
    int64_t last = -1;  // the last N rows; negative: no limit
    TimeRange range;    // the rows shown, by date/time
};

struct ChartRead {
    tarnwick::chart::ChartSeries series;  // columns filled; texts left to the caller
    int64_t rows = 0;                     // rows drawn
    double firstTime = 0;                 // stored (classic) date/times
    double lastTime = 0;
};

// Reads the table into `columns` chart columns (fewer when the range has fewer rows), in one
// read transaction so that a pump writing meanwhile cannot tear the picture. Returns 0, or 1
// after one line on err (no store, no such table with what the store holds for the symbol, an
// empty table or range, no prices).
int ReadChartTable(const ChartSource& source, int columns, ChartRead& read, std::ostream& err);

}  // namespace orbfeed::cli
