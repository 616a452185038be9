#pragma once
// The chart's axes as plain arithmetic: round price steps in cents, and the date/time marks
// that suit the span of the columns shown.
#include <string>
#include <vector>

#include "chart/chart_series.h"

namespace tarnwick::chart {

// The price range a pane shows and the step of its grid lines (a multiple of one cent: 1, 2,
// 2.5 or 5 times a power of ten). Grid lines sit at the multiples of step inside [low, high].
struct PriceScale {
    double low = 0;
    double high = 1;
    double step = 0.01;
};

// A scale for prices from lo to hi (lo <= hi, both drawable) on a pane `pixels` high, with a
// margin above and below. A flat range (lo == hi) gets a band around the price.
PriceScale MakePriceScale(double lo, double hi, int pixels);

// A price with two decimals and thousands separators: "1,234.50", "-0.25".
std::string PriceText(double v);

// A volume in short form: "950", "12.5K", "3.2M", "1.1B".
std::string VolumeText(double v);

// A date/time as "2003-01-01 09:00" (seconds added when withSeconds).
std::string DateTimeText(double t, bool withSeconds);

// A mark on the time axis at a column where a new minute, hour, day, month or year begins.
// Major marks begin a larger unit too (a new day among hours, a new month among days...).
struct TimeMark {
    int column = 0;
    std::string text;
    bool major = false;
};

// The marks for columns `columnWidth` pixels wide: the finest unit (1 to 30 minutes, 1 to 3
// hours, 1 to 10 days, 1 to 6 months, years) whose marks stay about minSpacing pixels apart.
// The axis runs by row, so nights and other times without rows take no room.
std::vector<TimeMark> MakeTimeMarks(const std::vector<ChartColumn>& columns, double columnWidth,
                                    double minSpacing);

// Columns where a new calendar day begins (the compressed nights), for thin separators.
std::vector<int> DayBreaks(const std::vector<ChartColumn>& columns);

}  // namespace tarnwick::chart
