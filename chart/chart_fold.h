#pragma once
// Folding streamed rows into candles of a calendar period, and candles into the columns a
// picture has room for. Everything works in one pass over the rows with memory bounded by the
// picture's width, however many rows stream through. Plain C++.
#include <cstdint>
#include <optional>
#include <vector>

#include "chart/chart_period.h"
#include "chart/chart_series.h"

namespace tarnwick::chart {

// Adds one row to a column. Prices that are not finite or beyond kLargestPrice count as missing:
// a bar with only a close is a point; a row without a close adds only its time and volume.
void AddRow(ChartColumn& c, double time, double open, double high, double low, double close,
            double volume);
// A column of the one row.
ChartColumn RowColumn(double time, double open, double high, double low, double close,
                      double volume);
// Adds the rows of `later` (the rows right after those of `into`) to `into`.
void MergeColumn(ChartColumn& into, const ChartColumn& later);

// Rows, or candles of a finer period that divides this one, into candles of one period. A new
// candle begins whenever a part falls in another period than the one before it, so rows out of
// time order make extra candles rather than being moved. Parts whose time is no calendar date
// are left out.
class PeriodFolder {
  public:
    explicit PeriodFolder(Period period) : period_(period) {}

    Period period() const { return period_; }
    // Folds part in. When it begins a new period, the candle formed so far is moved to `done`
    // and true is returned.
    bool Add(const ChartColumn& part, ChartColumn& done);
    // Moves the forming candle to `done`; false when there is none.
    bool Finish(ChartColumn& done);

  private:
    Period period_;
    int64_t start_ = 0;
    ChartColumn current_;  // rows == 0: none yet
};

// Candles into at most `most` columns of equal shares: while they fit, one candle a column; when
// they no longer do, neighbouring columns are merged in pairs, so every column holds the same
// power of two of candles (the last one fewer). Memory: `most` columns.
class ColumnPacker {
  public:
    explicit ColumnPacker(int most);

    void Add(const ChartColumn& candle);
    int64_t PerColumn() const { return group_; }
    int64_t Candles() const { return candles_; }
    std::vector<ChartColumn> Take();

  private:
    size_t most_;
    int64_t group_ = 1;
    int64_t inLast_ = 0;  // candles in the last column
    int64_t candles_ = 0;
    std::vector<ChartColumn> columns_;
};

// The default fold, chosen in the same single pass: the rows themselves while at most
// `mostRows`, else the finest period from `finest` up with at most `mostCandles` candles, else
// the coarsest period packed into `columns` columns. Every candidate is folded at once and
// dropped as soon as it outgrows its limit, so memory stays bounded by the limits.
class FitFolder {
  public:
    FitFolder(Period finest, int64_t mostRows, int64_t mostCandles, int columns);

    // One row in stored order; a row whose time is no calendar date is left out.
    void Add(double time, double open, double high, double low, double close, double volume);
    int64_t Added() const { return added_; }

    struct Fit {
        std::optional<Period> period;  // nullopt: the rows themselves
        std::vector<ChartColumn> columns;
        int64_t perColumn = 1;  // candles a column
    };
    Fit Take();

  private:
    struct Level {
        PeriodFolder folder;
        int source;  // the level this one folds, -1 for the rows
        std::vector<ChartColumn> kept;
        bool over = false;
    };
    void Emit(int level, const ChartColumn& candle);

    int64_t mostRows_;
    int64_t mostCandles_;
    int64_t added_ = 0;
    std::vector<ChartColumn> rows_;
    bool rowsOver_ = false;
    std::vector<Level> levels_;  // finest first; the last one goes to packer_ instead of kept
    ColumnPacker packer_;
};

}  // namespace tarnwick::chart
