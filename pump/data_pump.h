#pragma once
// DataPump: the main window's state and the logic of its handlers, free of any toolkit. The Qt
// window owns one and forwards its events here; the window system is reached through ShellPort.
#include <string>

#include "host/host_feed.h"
#include "host/subscription_table.h"
#include "pricedata/feed_clock.h"
#include "pricedata/price_feed.h"
#include "pump/shell_port.h"
#include "tickers/date_text.h"
#include "tickers/ticker_list.h"

namespace tarnwick {

class DataPump {
  public:
    DataPump(HostFeed& feed, Clock& clock, ShellPort& shell, DateLocale locale,
             std::string programFolder);

    // Loading: the price set to 30.0, the channel registered with the host, credentials asked for.
    void Form_Load(int32_t channelHandle);
    // Closing: the list file when the list changed, then the channel withdrawn (the last library
    // call). Returns the exit status: 0, or 1 when the list file could not be written.
    int Form_Unload();

    // The command channel's change event.
    void Text1_Change();
    // Timer1's event, every 500 ms.
    void Timer1_Timer();

    // The user's actions.
    void Add_Click();
    void Remove_Click();
    void ListView1_ColumnClick(int column);
    void ListView1_KeyUp();
    void ListView1_MouseUp();

    TickerList& List() { return list_; }
    const TickerList& List() const { return list_; }
    const SubscriptionTable& Subscriptions() const { return subscriptions_; }
    PriceFeed& Prices() { return prices_; }
    const PriceFeed& Prices() const { return prices_; }
    bool ListChanged() const { return listChanged_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    const DateLocale& Locale() const { return locale_; }

  private:
    void HistoryRequest(const std::string& text);
    void RemoveTicker(const std::string& text);
    void CredentialsCommand();
    void AddEntry(const NewTickerFields& fields);
    void UpdateRemoveEnabled();

    HostFeed& feed_;
    ShellPort& shell_;
    DateLocale locale_;
    std::string programFolder_;
    TickerList list_;
    SubscriptionTable subscriptions_;
    PriceFeed prices_;
    bool listChanged_ = false;
};

}  // namespace tarnwick
