#pragma once
// History transfer and live updates: everything that writes prices into the host's tables.
#include <string>

#include "feed_clock.h"
#include "host_feed.h"
#include "price_generator.h"
#include "subscription_table.h"
#include "ticker_list.h"

namespace tarnwick {

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
                           const double& interval, const double& startDate,
                           const FieldList& fields, bool showProgress);

    // One live update: a forming bar or a tick for every row of the list.
    void Timer1_Timer(const TickerList& list, const SubscriptionTable& subscriptions);

    double LastBarTime() const { return lastBarTime_; }
    float LiveBarVolume() const { return liveBarVolume_; }

private:
    HostFeed& feed_;
    Clock& clock_;
    PriceGenerator generator_;
    bool historyBusy_ = false;
    double lastBarTime_ = 0;
    float liveBarVolume_ = 0;
};

}  // namespace tarnwick
