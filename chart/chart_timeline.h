#pragma once
// A table held for the chart window: its rows folded into hourly candles as they are read (in
// one pass when the window opens, then as rows arrive), each hour with the seq of its first row
// and the minutes that hold rows. Every period of an hour or more is folded from these hours in
// memory; a period under an hour is counted from the minutes without reading a row, and its
// candles are read from the table for the stretch shown only. Memory: one hour candle for every
// hour that holds rows (some 42,000 for twenty-four years of trading days), however many rows.
// Plain C++; the rows come through RowSource.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "chart/chart_period.h"
#include "chart/chart_series.h"

namespace tarnwick::chart {

struct TimelineRow {
    int64_t seq = 0;
    double time = kNoValue;  // stored (classic) date/time
    double open = kNoValue, high = kNoValue, low = kNoValue, close = kNoValue;
    double volume = kNoValue;
};

// Where the rows of a seq range come from (the table store, in the host tool).
class RowSource {
  public:
    virtual ~RowSource() = default;
    // Calls sink for each row with seq in [from, to], in seq order; false when the read failed.
    virtual bool ReadRows(int64_t from, int64_t to,
                          const std::function<void(const TimelineRow&)>& sink) = 0;
};

// The rows of one hour that hold a contiguous run of seqs (a new hour candle begins whenever a
// row falls in another hour than the row before it).
struct HourCandle {
    ChartColumn candle;
    int64_t start = 0;     // the hour's start, ms since 30 December 1899
    int64_t firstSeq = 0;  // the seq of its first row
    uint64_t minutes = 0;  // bit m: a row in minute m of the hour
};

class Timeline {
  public:
    // Takes the next row: a larger seq than the last appends it, the last seq again replaces the
    // last row (the forming bar); smaller seqs are ignored. A row whose date/time is no calendar
    // date takes its seq but is not drawn.
    void Put(const TimelineRow& row);
    // Forgets every row (a new set-up of the table).
    void Clear();
    // Gives back the room a long first read left over, keeping an eighth more for the hours to
    // come.
    void Trim();

    int64_t LastSeq() const { return lastSeq_; }
    size_t HourCount() const { return hours_.size() + (tailIsNewHour_ ? 1 : 0); }
    const HourCandle& Hour(size_t i) const;
    // Changes with every row taken, so that views know when to draw again.
    uint64_t Version() const { return version_; }

    // How many candles the table makes at period p.
    int64_t CandleCount(Period p);
    // Candles [from, to) at period p (clamped to the candles there are). Periods under an hour
    // read their rows through source, keeping the candles read for the next call.
    std::vector<ChartColumn> Candles(Period p, int64_t from, int64_t to, RowSource& source);
    // The newest candle at period p.
    std::optional<ChartColumn> LastCandle(Period p, RowSource& source);
    // The index of the candle at p that holds the point ms (milliseconds since 30 December
    // 1899), or of the last one before it; -1 when none begins at or before it.
    int64_t IndexAt(Period p, int64_t ms);
    // The start of candle `index` at p (clamped to the candles there are).
    int64_t StartOf(Period p, int64_t index);

    // The bytes held, for the memory figures.
    size_t MemoryBytes() const;

  private:
    struct Derived {
        uint64_t version = ~uint64_t{0};
        std::vector<ChartColumn> candles;  // periods of an hour or more (not the hour itself)
        std::vector<int64_t> prefix;       // periods under an hour: candles before each hour
    };
    struct Fine {
        uint64_t generation = 0;
        uint64_t version = ~uint64_t{0};
        Period period = Period::Minute1;
        int64_t from = 0;
        size_t lastHour = 0;  // the last hour read
        bool holdsTail = true;
        std::vector<ChartColumn> candles;
    };

    void Commit(const TimelineRow& row, int64_t ms);
    void RefreshTail();
    Derived& DerivedFor(Period p);
    size_t HourOfIndex(const std::vector<int64_t>& prefix, int64_t index) const;
    const std::vector<ChartColumn>& FineCandles(Period p, int64_t from, int64_t to,
                                                RowSource& source);

    std::vector<HourCandle> hours_;  // every row but the pending one
    std::optional<TimelineRow> pending_;
    HourCandle tail_;  // the last hour with the pending row in it
    bool tailIsNewHour_ = false;
    bool tailMerged_ = false;  // tail_ is hours_.back() with the pending row
    int64_t lastSeq_ = 0;
    uint64_t version_ = 0;
    uint64_t generation_ = 0;
    std::array<Derived, 8> derived_;
    Fine fine_;
    // The newest candle under an hour as last read, while no row has come since.
    struct Newest {
        uint64_t version = ~uint64_t{0};
        Period period = Period::Minute1;
        ChartColumn candle;
    } newest_;
};

}  // namespace tarnwick::chart
