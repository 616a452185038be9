#pragma once
// History transfer and live updates: everything that writes prices into the host's tables.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>

#include "host/host_feed.h"
#include "host/subscription_table.h"
#include "pricedata/feed_clock.h"
#include "pricedata/price_generator.h"
#include "tickers/ticker_list.h"

namespace tarnwick {

// The progress of a history transfer in whole percent: ((t - start) * 100) / (feedClock - start),
// rounded to a 32-bit integer, halves to even. The faults of that formula get these answers:
// - feedClock == start (the division by zero): 100 when t >= start, the transfer being at or past
//   its end; 0 otherwise;
// - a quotient beyond the 32-bit range (a tiny denominator, infinities) is clamped to it;
// - a NaN quotient (a NaN start or clock) gives no value: nothing is reported.
inline std::optional<int32_t> ProgressPercent(double t, double start, double feedClock) {
    const double span = feedClock - start;
    const double q = span == 0 ? (t >= start ? 100.0 : 0.0) : ((t - start) * 100.0) / span;
    if (q != q) return std::nullopt;  // NaN
    constexpr double top = static_cast<double>(std::numeric_limits<int32_t>::max());
    constexpr double bottom = static_cast<double>(std::numeric_limits<int32_t>::min());
    if (q >= top) return std::numeric_limits<int32_t>::max();
    if (q <= bottom) return std::numeric_limits<int32_t>::min();
    auto whole = static_cast<int64_t>(q);                // truncation toward zero
    if (static_cast<double>(whole) > q) --whole;         // floor
    const double rest = q - static_cast<double>(whole);  // exact, 0 <= rest < 1
    if (rest > 0.5 || (rest == 0.5 && (whole & 1) != 0)) ++whole;
    return static_cast<int32_t>(whole);
}

class PriceFeed {
  public:
    PriceFeed(HostFeed& feed, Clock& clock) : feed_(feed), clock_(clock) {}

    PriceGenerator& Generator() { return generator_; }
    const PriceGenerator& Generator() const { return generator_; }
    bool HistoryBusy() const { return historyBusy_; }

    // Opens the table, labels its columns and fills it from startDate up to the feed clock.
    // The text arguments are the caller's buffers: after the call they hold what the library
    // left in them.
    void SendSymbolHistory(std::string& symbol, std::string& description, std::string& category,
                           const double& interval, const double& startDate, const FieldList& fields,
                           bool showProgress);

    // One live update: a forming bar or a tick for every row of the list. Does nothing while a
    // history transfer runs. A row with no SubscriptionTable entry under its key is served like
    // any other, with only its fixed columns (six for a bar, three for a tick), so its table keeps
    // getting prices and the shared walk advances by one tick per row whatever the table holds.
    void Timer1_Timer(const TickerList& list, const SubscriptionTable& subscriptions);

    double LastBarTime() const { return lastBarTime_; }
    float LiveBarVolume() const { return liveBarVolume_; }

  private:
    // A Bar Interval text read once: its NumberValue and the NumberText of that value.
    struct IntervalInfo {
        double Value = 0;
        std::string Text;
    };
    const IntervalInfo& IntervalOf(const std::string& barIntervalText);

    HostFeed& feed_;
    Clock& clock_;
    PriceGenerator generator_;
    bool historyBusy_ = false;
    double lastBarTime_ = 0;
    float liveBarVolume_ = 0;

    // Working storage of Timer1_Timer, kept between events so that a row allocates nothing.
    std::unordered_map<std::string, IntervalInfo> intervalCache_;
    std::string liveSymbol_;  // the host's copy of the row's symbol
    std::string liveKey_;     // the row's SubscriptionKey
};

}  // namespace tarnwick
