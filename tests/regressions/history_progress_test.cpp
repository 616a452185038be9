// The progress a history reports to the host stays within 0..100 percent.
#include <gtest/gtest.h>

#include <string>

#include "data_pump.h"
#include "fake_shell.h"
#include "recording_host_feed.h"

namespace tarnwick {
namespace {

// A start date after today: the first row stands at 09:00 of the start day, after the feed
// clock, so (t - start) / (feedClock - start) is negative and the host is told -64 percent
// before the closing 100.
TEST(HistoryProgressRegression, DISABLED_StartDateAfterTodayReportsNoNegativePercent) {
    testing::RecordingHostFeed feed;
    testing::ManualClock clock(37622 + 8.0 / 24);  // 1 January 2003 08:00, feed clock 10:00
    testing::FakeShell shell;
    DataPump pump(feed, clock, shell, DateLocale::EnUS(), "/nonexistent-tarnwick-folder");
    shell.pump = &pump;
    shell.Send("ABC!@#Alpha!@#Stock!@#1!@#01/02/2003!@#Date/Time,Close");
    const auto reports = feed.Named("UpdatePercent");
    ASSERT_FALSE(reports.empty());
    for (const std::string& line : reports) {
        const int percent = std::stoi(line.substr(line.find('\t') + 1));
        EXPECT_GE(percent, 0) << line;
        EXPECT_LE(percent, 100) << line;
    }
}

// Today before 07:00 local time (feed clock before 09:00): the one row at 09:00 lies after the
// feed clock and the host is told 112 percent.
TEST(HistoryProgressRegression, DISABLED_EarlyMorningReportsNoPercentAbove100) {
    testing::RecordingHostFeed feed;
    testing::ManualClock clock(37622 + 6.0 / 24);  // 1 January 2003 06:00, feed clock 08:00
    testing::FakeShell shell;
    DataPump pump(feed, clock, shell, DateLocale::EnUS(), "/nonexistent-tarnwick-folder");
    shell.pump = &pump;
    shell.Send("ABC!@#Alpha!@#Stock!@#1!@#01/01/2003!@#Date/Time,Close");
    for (const std::string& line : feed.Named("UpdatePercent")) {
        const int percent = std::stoi(line.substr(line.find('\t') + 1));
        EXPECT_LE(percent, 100) << line;
    }
}

}  // namespace
}  // namespace tarnwick
