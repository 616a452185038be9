// Aggregation of streamed rows into the chart's columns.
#include "chart/chart_series.h"

#include <algorithm>

namespace tarnwick::chart {

namespace {

// As many columns as the width allows, but each with (nearly) the same number of rows: a volume
// summed over 1 or 2 rows at random would draw a comb.
int64_t SlotCount(int64_t rows, int width) {
    const int64_t w = std::max(width, 1);
    const int64_t n = std::max<int64_t>(rows, 1);
    const int64_t perColumn = (n + w - 1) / w;
    return (n + perColumn - 1) / perColumn;
}

}  // namespace

ColumnAggregator::ColumnAggregator(int64_t rows, int width)
    : rows_(std::max<int64_t>(rows, 1)), slots_(SlotCount(rows, width)) {
    columns_.resize(static_cast<size_t>(slots_));
}

void ColumnAggregator::Add(double time, double open, double high, double low, double close,
                           double volume) {
    // Rows beyond the announced count (a table that grew meanwhile) join the last column.
    const int64_t k = added_ < rows_ ? added_ * slots_ / rows_ : slots_ - 1;
    ++added_;
    ChartColumn& c = columns_[static_cast<size_t>(k)];
    if (c.rows++ == 0) c.firstTime = time;
    c.lastTime = time;
    if (std::isfinite(volume)) c.volume += volume;
    if (!IsDrawablePrice(close)) return;
    if (!IsDrawablePrice(open)) open = close;
    double hi = std::max(open, close);
    double lo = std::min(open, close);
    if (IsDrawablePrice(high)) hi = std::max(hi, high);
    if (IsDrawablePrice(low)) lo = std::min(lo, low);
    if (!c.HasPrice()) {
        c.open = open;
        c.high = hi;
        c.low = lo;
    } else {
        c.high = std::max(c.high, hi);
        c.low = std::min(c.low, lo);
    }
    c.close = close;
}

std::vector<ChartColumn> ColumnAggregator::Take() {
    std::vector<ChartColumn> out;
    out.swap(columns_);
    return out;
}

}  // namespace tarnwick::chart
