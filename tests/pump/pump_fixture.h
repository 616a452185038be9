#pragma once
// A DataPump wired to a recording feed library, a clock the test sets, and a fake window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "pump/data_pump.h"
#include "tests/support/fake_shell.h"
#include "tests/support/fixed_date_locales.h"
#include "tests/support/recording_host_feed.h"

namespace tarnwick::testing {

// 1 January 2003 at 08:00 local time: the feed clock reads 10:00, so a one-minute history from
// that day has 60 rows.
inline constexpr double Jan1At8 = 37622 + 8.0 / 24;

class PumpTest : public ::testing::Test {
  protected:
    PumpTest()
        : folder(std::filesystem::temp_directory_path() /
                 ("tarnwick-pump-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name())),
          clock(Jan1At8),
          pump(feed, clock, shell, EnUSLocale(), folder.string()) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        shell.pump = &pump;
    }
    ~PumpTest() override { std::filesystem::remove_all(folder); }

    // The rows of the list as "Symbol|Description|Category|Start|Interval".
    std::vector<std::string> Rows() const {
        std::vector<std::string> out;
        for (int i = 1; i <= pump.List().EntryCount(); ++i) {
            const TickerEntry& e = pump.List().EntryAt(i);
            out.push_back(e.Symbol + "|" + e.Description + "|" + e.Category + "|" + e.StartDate +
                          "|" + e.BarInterval);
        }
        return out;
    }
    std::vector<std::string> FieldsOf(const std::string& key) const {
        const FieldList* f = pump.Subscriptions().Find(key);
        return f ? *f : std::vector<std::string>{"<none>"};
    }
    long Count(const std::string& op) const { return static_cast<long>(feed.Named(op).size()); }

    std::filesystem::path folder;
    RecordingHostFeed feed;
    ManualClock clock;
    FakeShell shell;
    DataPump pump;
};

inline std::string Request(const std::string& symbol, const std::string& interval,
                           const std::string& fields = "Date/Time,Open,High,Low,Close,Volume",
                           const std::string& category = "Stock",
                           const std::string& start = "01/01/2003") {
    return symbol + "!@#Alpha!@#" + category + "!@#" + interval + "!@#" + start + "!@#" + fields;
}

}  // namespace tarnwick::testing
