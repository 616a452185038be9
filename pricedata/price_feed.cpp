#include "pricedata/price_feed.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dates/classic_date.h"
#include "host/text_rules.h"

namespace tarnwick {
namespace {

// Minutes per day, and the bounds of a transfer's trading day.
constexpr double MinutesPerDay = 1440.0;
constexpr double DayStart = 9.0 / 24.0;  // 09:00
constexpr double DayEnd = 16.0 / 24.0;   // 16:00

// Intervals above this are bars; at or below it (0 included) ticks.
constexpr double TickLimit = 0.01;

// Fixed columns of a row: date/time, open, high, low, close, volume for a bar; date/time,
// price, volume for a tick.
constexpr int32_t BarColumns = 6;
constexpr int32_t TickColumns = 3;

// Keeps HistoryBusy set for exactly as long as a transfer runs, even when something throws.
class BusyScope {
  public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    bool& flag_;
};

int32_t ColumnCount(std::size_t names) {
    constexpr auto limit = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(names < limit ? names : limit);
}

// The interval as the library takes it, a 32-bit float. A value beyond the float range becomes
// the infinity of its sign (a plain conversion of such a value is undefined behaviour).
float HostInterval(double interval) {
    constexpr double top = std::numeric_limits<float>::max();
    if (interval > top) return std::numeric_limits<float>::infinity();
    if (interval < -top) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(interval);
}

// Where the rows of a transfer go: the HostFeed interface, or the loaded library's entry points.
struct InterfaceRowSink {
    HostFeed& Feed;
    void Value(std::string& s, float i, int32_t k, double v) { Feed.ORBSETVALUE(s, i, k, v); }
    void Commit(std::string& s, float i) { Feed.ORBCOMMITROW(s, i); }
    void NumRows(std::string& s, float i, float i2, int32_t z1, int32_t z2) {
        Feed.ORBGETNUMROWS2(s, i, i2, z1, z2);
    }
};

struct DirectRowSink {
    const HostFeed::DirectCalls& Calls;
    void Value(std::string& s, float i, int32_t k, double v) { Calls.SetValue(s.data(), i, k, v); }
    void Commit(std::string& s, float i) { Calls.CommitRow(s.data(), i); }
    void NumRows(std::string& s, float i, float i2, int32_t z1, int32_t z2) {
        Calls.GetNumRows2(s.data(), i, i2, z1, z2);
    }
};

// One bar row without its commit: date/time, open, high, low, close and volume from the
// generator, then a fresh draw for every filler column up to columns.
template <typename Sink>
void PutBarRow(Sink& sink, std::string& symbol, float interval, double time, PriceGenerator& g,
               int32_t columns) {
    const double open = g.BarOpen, high = g.BarHigh, low = g.BarLow;
    const double close = g.LastPrice, volume = g.LastVolume;
    sink.Value(symbol, interval, 1, time);
    sink.Value(symbol, interval, 2, open);
    sink.Value(symbol, interval, 3, high);
    sink.Value(symbol, interval, 4, low);
    sink.Value(symbol, interval, 5, close);
    sink.Value(symbol, interval, 6, volume);
    for (int32_t k = BarColumns + 1; k <= columns; ++k) {
        sink.Value(symbol, interval, k, g.NextRandom());
    }
}

// One tick row without its commit: date/time, price and volume, then the filler columns, each a
// fresh draw or, where filler is given, that value.
template <typename Sink>
void PutTickRow(Sink& sink, std::string& symbol, float interval, double time, double price,
                double volume, PriceGenerator& g, int32_t columns,
                std::optional<double> filler = std::nullopt) {
    sink.Value(symbol, interval, 1, time);
    sink.Value(symbol, interval, 2, price);
    sink.Value(symbol, interval, 3, volume);
    for (int32_t k = TickColumns + 1; k <= columns; ++k) {
        sink.Value(symbol, interval, k, filler ? *filler : g.NextRandom());
    }
}

}  // namespace

void PriceFeed::SendSymbolHistory(std::string& symbol, std::string& description,
                                  std::string& category, const double& interval,
                                  const double& startDate, const FieldList& fields,
                                  bool showProgress) {
    BusyScope busy(historyBusy_);
    const double barInterval = interval;
    const double start = startDate;
    const float hostInterval = HostInterval(barInterval);

    const int32_t columns = ColumnCount(fields.size());
    feed_.ORBSETUPDATA(symbol, description, hostInterval, columns, category, start);
    std::string label;  // the library may write into a label: hand it a copy
    for (int32_t k = 1; k <= columns; ++k) {
        label = fields[static_cast<std::size_t>(k - 1)];
        feed_.ORBSETLABEL(symbol, hostInterval, k, label);
    }

    // The mode: bars above 0.01 minutes, bars as four tick rows below 0, ticks otherwise (a NaN
    // interval compares false with everything and so is served as ticks, at the tick step).
    enum class Mode { Bar, Tick, BarAsTicks };
    const Mode mode = barInterval > TickLimit ? Mode::Bar
                      : barInterval < 0       ? Mode::BarAsTicks
                                              : Mode::Tick;
    // Bars sent as ticks step by at least the tick step: an interval such as -1e-8 would
    // otherwise ask for some 10^15 rows and the transfer, which never yields, would not end.
    double step = barInterval >= TickLimit ? barInterval
                  : barInterval < 0        ? std::max(-barInterval, TickLimit)
                                           : TickLimit;
    step = step / MinutesPerDay;

    // The rows go out through the library's own entry points when the binding offers them (one
    // indirect call a cell), else through the HostFeed interface; the loop is the same.
    // The loop steps t on the straight time line; rows before 30 December 1899 get their
    // date/time in the classic encoding (see classic_date.h), later ones are t itself.
    const double lineStart = LinearFromClassic(start);
    auto transfer = [&](auto& sink) {
        PriceGenerator& g = generator_;
        double t = lineStart + DayStart;
        int32_t lastPercent = 0;
        for (;;) {
            const double stamp = t < 0 ? ClassicFromLinear(t) : t;
            switch (mode) {
                case Mode::Bar:
                    g.GetNextPriceBar();
                    PutBarRow(sink, symbol, hostInterval, stamp, g, columns);
                    sink.Commit(symbol, hostInterval);
                    sink.NumRows(symbol, hostInterval, hostInterval, 0, 0);
                    break;
                case Mode::Tick:
                    g.GetNextTick();
                    PutTickRow(sink, symbol, hostInterval, stamp, g.LastPrice, g.LastVolume, g,
                               columns);
                    sink.Commit(symbol, hostInterval);
                    sink.NumRows(symbol, hostInterval, hostInterval, 0, 0);
                    break;
                case Mode::BarAsTicks: {
                    g.GetNextPriceBar();
                    // Open, high and low as ticks without volume, their fillers 0; then the
                    // close with the bar's volume and fresh fillers.
                    for (double price : {g.BarOpen, g.BarHigh, g.BarLow}) {
                        PutTickRow(sink, symbol, hostInterval, stamp, price, 0.0, g, columns, 0.0);
                        sink.Commit(symbol, hostInterval);
                    }
                    PutTickRow(sink, symbol, hostInterval, stamp, g.LastPrice, g.LastVolume, g,
                               columns);
                    sink.Commit(symbol, hostInterval);
                    break;
                }
            }

            // The feed clock is read anew at each use: once for the progress report, once more
            // for the end test, so the end test sees the clock after the report's library call.
            if (showProgress) {
                const std::optional<int32_t> percent =
                    ProgressPercent(t, lineStart, clock_.FeedClock());
                if (percent && *percent != lastPercent) {
                    feed_.UpdatePercent(*percent);
                    lastPercent = *percent;
                }
            }

            const double previous = t;
            t = t + step;
            if (t - std::floor(t) > DayEnd) t = std::floor(t) + 1.0 + DayStart;
            // A step too small to move t (a tiny interval, a date far beyond the step's precision),
            // or a NaN or infinite date, would repeat the same row for ever: the transfer ends
            // here.
            if (!(t > previous) || std::isinf(t)) break;
            if (!(clock_.FeedClock() > t)) break;
        }
    };
    if (const HostFeed::DirectCalls* direct = feed_.Direct(symbol)) {
        DirectRowSink sink{*direct};
        transfer(sink);
    } else {
        InterfaceRowSink sink{feed_};
        transfer(sink);
    }
}

const PriceFeed::IntervalInfo& PriceFeed::IntervalOf(const std::string& barIntervalText) {
    auto found = intervalCache_.find(barIntervalText);
    if (found != intervalCache_.end()) return found->second;
    // A list holds few distinct interval texts; the bound only keeps a pathological list from
    // growing the cache without end.
    constexpr std::size_t cacheLimit = 4096;
    if (intervalCache_.size() >= cacheLimit) intervalCache_.clear();
    IntervalInfo info;
    info.Value = NumberValue(barIntervalText);
    info.Text = NumberText(info.Value);
    return intervalCache_.emplace(barIntervalText, std::move(info)).first->second;
}

void PriceFeed::Timer1_Timer(const TickerList& list, const SubscriptionTable& subscriptions) {
    if (historyBusy_) return;
    const int count = list.EntryCount();
    double rowTime = 0;
    PriceGenerator& g = generator_;
    InterfaceRowSink sink{feed_};
    for (int i = 1; i <= count; ++i) {
        const TickerEntry& entry = list.EntryAt(i);
        const IntervalInfo& barInterval = IntervalOf(entry.BarInterval);
        const double interval = barInterval.Value;
        const float hostInterval = HostInterval(interval);
        liveSymbol_ = entry.Symbol;  // the library may write into it: never the list's own text
        liveKey_ = entry.Symbol;
        liveKey_ += FieldSeparator;
        liveKey_ += barInterval.Text;
        const FieldList* fields = subscriptions.Find(liveKey_);

        g.GetNextTick();
        if (interval > TickLimit) {
            const double barTime =
                (std::trunc(clock_.FeedClock() * MinutesPerDay / interval) + 1.0) *
                (interval / MinutesPerDay);
            if (barTime > lastBarTime_) {
                g.BarOpen = g.BarHigh = g.BarLow = g.LastPrice;
                liveBarVolume_ = static_cast<float>(g.LastVolume);
            } else {
                if (g.LastPrice > g.BarHigh) g.BarHigh = g.LastPrice;
                if (g.LastPrice < g.BarLow) g.BarLow = g.LastPrice;
                liveBarVolume_ =
                    static_cast<float>(static_cast<double>(liveBarVolume_) + g.LastVolume);
                g.LastVolume = liveBarVolume_;
            }
            // A row without a subscription still gets its prices: only the fixed columns.
            const int32_t columns = fields != nullptr ? ColumnCount(fields->size()) : BarColumns;
            PutBarRow(sink, liveSymbol_, hostInterval, barTime, g, columns);
            feed_.ORBCOMMITROW(liveSymbol_, hostInterval);
            rowTime = barTime;
        } else {
            const double tickTime = clock_.FeedClock();
            const int32_t columns = fields != nullptr ? ColumnCount(fields->size()) : TickColumns;
            PutTickRow(sink, liveSymbol_, hostInterval, tickTime, g.LastPrice, g.LastVolume, g,
                       columns);
            feed_.ORBCOMMITROW(liveSymbol_, hostInterval);
            rowTime = tickTime;
        }
        feed_.ORBGETNUMROWS2(liveSymbol_, hostInterval, hostInterval, 0, 0);
    }
    lastBarTime_ = rowTime;
}

}  // namespace tarnwick
