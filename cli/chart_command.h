#pragma once
// The host tool's chart command: draws a stored table as candlesticks or a line with its volume,
// to PNG or SVG.
#include <cstdint>
#include <iosfwd>
#include <string>

namespace orbfeed::cli {

struct ChartOptions {
    std::string dbPath;
    std::string symbol;
    float interval = 1;
    std::string output;  // empty: SYMBOL-INTERVAL.png in the current folder
    int64_t last = -1;   // the last N rows; negative: all
    std::string from;    // dates as the pump reads a request's start date; empty: none
    std::string to;      // inclusive: a date without a time of day takes in that whole day
    int width = 1200;
    int height = 700;
    std::string bar;   // the candles' period ("1m" ... "1mo"); empty: chosen to fit
    bool log = false;  // a logarithmic price axis
};

// Draws the chart and writes it (to a temporary file in the same folder, renamed into place).
// Returns 0 after one line on out naming the file, or 1 after one line on err.
int RunChart(const ChartOptions& options, std::ostream& out, std::ostream& err);

// The file a chart goes to by default: "DEMO-1.png", "DEMO-0.5.png", "DEMO--1.png" (a slash
// in the symbol becomes an underscore).
std::string DefaultChartFile(const std::string& symbol, float interval);

// The chart's title of a table: "DEMO  ·  1-minute bars", "XYZ  ·  ticks (interval 0)".
std::string ChartTitle(const std::string& symbol, float interval);

}  // namespace orbfeed::cli
