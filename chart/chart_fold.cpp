// Rows into period candles, candles into columns, and the default fold chosen in one pass.
#include "chart/chart_fold.h"

#include <algorithm>
#include <cmath>

#include "dates/classic_date.h"

namespace tarnwick::chart {

void AddRow(ChartColumn& c, double time, double open, double high, double low, double close,
            double volume) {
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

ChartColumn RowColumn(double time, double open, double high, double low, double close,
                      double volume) {
    ChartColumn c;
    AddRow(c, time, open, high, low, close, volume);
    return c;
}

void MergeColumn(ChartColumn& into, const ChartColumn& later) {
    if (later.rows == 0) return;
    if (into.rows == 0) {
        into = later;
        return;
    }
    into.rows += later.rows;
    into.lastTime = later.lastTime;
    into.volume += later.volume;
    if (!later.HasPrice()) return;
    if (!into.HasPrice()) {
        into.open = later.open;
        into.high = later.high;
        into.low = later.low;
    } else {
        into.high = std::max(into.high, later.high);
        into.low = std::min(into.low, later.low);
    }
    into.close = later.close;
}

bool PeriodFolder::Add(const ChartColumn& part, ChartColumn& done) {
    if (part.rows == 0) return false;
    const std::optional<int64_t> start = PeriodOf(part.firstTime, period_);
    if (!start) return false;
    if (current_.rows > 0 && *start == start_) {
        MergeColumn(current_, part);
        return false;
    }
    const bool finished = current_.rows > 0;
    if (finished) done = current_;
    current_ = part;
    start_ = *start;
    return finished;
}

bool PeriodFolder::Finish(ChartColumn& done) {
    if (current_.rows == 0) return false;
    done = current_;
    current_ = ChartColumn{};
    return true;
}

ColumnPacker::ColumnPacker(int most) : most_(static_cast<size_t>(std::max(2, most & ~1))) {
    columns_.reserve(most_);
}

void ColumnPacker::Add(const ChartColumn& candle) {
    ++candles_;
    if (inLast_ == 0) {
        if (columns_.size() == most_) {
            // Full, and every column complete: pairs become one column of twice the candles.
            for (size_t i = 0; i < most_ / 2; ++i) {
                ChartColumn merged = columns_[2 * i];
                MergeColumn(merged, columns_[2 * i + 1]);
                columns_[i] = merged;
            }
            columns_.resize(most_ / 2);
            group_ *= 2;
        }
        columns_.push_back(candle);
    } else {
        MergeColumn(columns_.back(), candle);
    }
    inLast_ = (inLast_ + 1) % group_;
}

std::vector<ChartColumn> ColumnPacker::Take() {
    std::vector<ChartColumn> out;
    out.swap(columns_);
    return out;
}

FitFolder::FitFolder(Period finest, int64_t mostRows, int64_t mostCandles, int columns)
    : mostRows_(mostRows), mostCandles_(mostCandles), packer_(columns) {
    for (Period p : kPeriods) {
        if (p < finest) continue;
        // Each period folds the nearest finer one that divides it: months fold days, not weeks.
        int source = static_cast<int>(levels_.size()) - 1;
        if (source >= 0 && levels_[static_cast<size_t>(source)].folder.period() == Period::Week1) {
            --source;
        }
        levels_.push_back({PeriodFolder(p), source, {}, false});
    }
}

void FitFolder::Add(double time, double open, double high, double low, double close,
                    double volume) {
    if (!MsFromClassic(time)) return;
    ++added_;
    const ChartColumn row = RowColumn(time, open, high, low, close, volume);
    if (!rowsOver_) {
        rows_.push_back(row);
        if (static_cast<int64_t>(rows_.size()) > mostRows_) {
            rowsOver_ = true;
            std::vector<ChartColumn>().swap(rows_);
        }
    }
    for (size_t j = 0; j < levels_.size(); ++j) {
        ChartColumn done;
        if (levels_[j].source == -1 && levels_[j].folder.Add(row, done)) {
            Emit(static_cast<int>(j), done);
        }
    }
}

void FitFolder::Emit(int level, const ChartColumn& candle) {
    Level& l = levels_[static_cast<size_t>(level)];
    if (static_cast<size_t>(level) + 1 == levels_.size()) {
        packer_.Add(candle);
    } else if (!l.over) {
        l.kept.push_back(candle);
        if (static_cast<int64_t>(l.kept.size()) > mostCandles_) {
            l.over = true;
            std::vector<ChartColumn>().swap(l.kept);
        }
    }
    for (size_t j = static_cast<size_t>(level) + 1; j < levels_.size(); ++j) {
        ChartColumn done;
        if (levels_[j].source == level && levels_[j].folder.Add(candle, done)) {
            Emit(static_cast<int>(j), done);
        }
    }
}

FitFolder::Fit FitFolder::Take() {
    // The forming candles, finest first, so that each reaches the coarser levels before they end.
    for (size_t j = 0; j < levels_.size(); ++j) {
        ChartColumn done;
        if (levels_[j].folder.Finish(done)) Emit(static_cast<int>(j), done);
    }
    Fit fit;
    if (!rowsOver_) {
        fit.columns.swap(rows_);
        return fit;
    }
    for (size_t j = 0; j + 1 < levels_.size(); ++j) {
        if (!levels_[j].over) {
            fit.period = levels_[j].folder.period();
            fit.columns.swap(levels_[j].kept);
            return fit;
        }
    }
    fit.period = levels_.back().folder.period();
    fit.perColumn = packer_.PerColumn();
    fit.columns = packer_.Take();
    return fit;
}

}  // namespace tarnwick::chart
