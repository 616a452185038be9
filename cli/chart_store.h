#pragma once
// Reading one stored table for a chart: which columns carry prices and volume, the rows of the
// range asked for streamed from SQLite into the chart's columns, and the span they cover.
#include <sqlite3.h>

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

// The labels of a stored table (into labels) and its chart columns as ChooseChartColumns picks
// them; nullopt when the labels cannot be read.
std::optional<ChartColumnChoice> ChartColumnsOf(sqlite3* db, int64_t tableId, float interval,
                                                int64_t columnCount,
                                                std::vector<std::string>& labels);

// Whether the series has a volume pane, and the names of its price and volume (the table's
// labels; tick tables keep "Price" and "Volume" whatever their labels say).
void NameChartColumns(float interval, const std::vector<std::string>& labels,
                      const ChartColumnChoice& choice, tarnwick::chart::ChartSeries& series);

// The SQL select list of a choice's columns: date/time, open, high, low, close and volume
// ("datetime, c2, c3, c4, c5, c6"; NULL for a column the table lacks).
std::string ChartSelectList(const ChartColumnChoice& choice);

struct ChartSource {
    std::string dbPath;
    std::string symbol;
    float interval = 1;
    int64_t last = -1;  // the last N rows; negative: no limit
    TimeRange range;    // the rows shown, by date/time
    // The candles' period; nullopt: the default fold (the rows themselves while they fit, else
    // the finest period whose candles are at least minCandleWidth wide).
    std::optional<tarnwick::chart::Period> bar;
};

// The room the picture has: its plot's pixel columns, and the narrowest candle the default
// fold allows.
struct ChartRoom {
    int columns = 1000;
    double minCandleWidth = 3;
};

struct ChartRead {
    tarnwick::chart::ChartSeries series;  // columns, style and period filled; texts left to
                                          // the caller
    int64_t rows = 0;                     // rows drawn
    double firstTime = 0;                 // stored (classic) date/times
    double lastTime = 0;
    int64_t perColumn = 1;  // candles a column, when they outnumber the plot's pixel columns
};

// Reads the table and folds its rows as they stream, into at most room.columns columns, in one
// read transaction so that a pump writing meanwhile cannot tear the picture. Rows whose
// date/time is no calendar date are left out. Returns 0, or 1 after one line on err (no store,
// no such table with what the store holds for the symbol, an empty table or range, no prices).
int ReadChartTable(const ChartSource& source, const ChartRoom& room, ChartRead& read,
                   std::ostream& err);

}  // namespace orbfeed::cli
