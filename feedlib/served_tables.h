#pragma once
// Which tables the running pump serves live, as far as the library can follow it: the pump's
// list holds a row for every history it set up (symbol, category, interval; a set-up of the same
// three replaces the earlier row), and a remove command takes out the first row of its symbol at
// its interval or the negated interval, as the pump removes rows. The library sees every set-up
// and every command written into the channel, so it keeps the same rows; a table is served live
// while a row names it. Any thread may call.
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orbfeed {

class ServedTables {
  public:
    // A history was set up (ORBSETUPDATA).
    void SetUp(const std::string& symbol, const std::string& category, float interval);
    // A text written into the channel: a remove command takes its row out; others change nothing.
    void Command(std::string_view text);
    // The tables some row names, each once, in the order of their rows.
    std::vector<std::pair<std::string, float>> Tables() const;

  private:
    struct Row {
        std::string symbol;
        std::string category;
        float interval;
    };
    mutable std::mutex mu_;
    std::vector<Row> rows_;
};

}  // namespace orbfeed
