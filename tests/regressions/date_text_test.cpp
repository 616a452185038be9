// The short date form of real locales reads back as the same day. The Qt shell takes the short
// date pattern from the system locale (two-digit years widened); two families of real patterns
// write texts that ParseDateText then rejects.
#include "tickers/date_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "pump/data_pump.h"
#include "tests/support/fake_shell.h"
#include "tests/support/fixed_date_locales.h"
#include "tests/support/recording_host_feed.h"

namespace tarnwick {
namespace {

// bg_BG: "d.MM.yy 'г'." — the date ends with a quoted word ("г." for "година", year). Quoted
// words are skipped only between components, so the word after the year ends the reading.
DateLocale Bulgarian() {
    DateLocale l = EnUSLocale();
    l.DateOrder = DateLocale::Order::DayMonthYear;
    l.ShortDatePattern = "d.MM.yyyy '\xD0\xB3'.";
    return l;
}

// ar_EG and the other Arabic locales: "d\u200F/M\u200F/yyyy" — a right-to-left mark, outside
// quotes, before each "/". The reader takes the mark for the start of a month name.
DateLocale Arabic() {
    DateLocale l = EnUSLocale();
    l.DateOrder = DateLocale::Order::DayMonthYear;
    l.ShortDatePattern = "d\xE2\x80\x8F/M\xE2\x80\x8F/yyyy";
    return l;
}

TEST(DateTextRegression, BulgarianShortDateReadsBack) {
    const DateLocale bg = Bulgarian();
    const std::string text = ShortDateText(37622, bg);
    EXPECT_EQ(text, "1.01.2003 \xD0\xB3.");
    EXPECT_EQ(ParseDateText(text, bg), std::optional<double>(37622));
}

TEST(DateTextRegression, ArabicShortDateReadsBack) {
    const DateLocale ar = Arabic();
    const std::string text = ShortDateText(37622, ar);
    EXPECT_EQ(text, "1\xE2\x80\x8F/1\xE2\x80\x8F/2003");
    EXPECT_EQ(ParseDateText(text, ar), std::optional<double>(37622));
}

// What it does to the program: a click on the Start Date header writes every whole date back in
// the short date form, which then is no date any more, so the next sort orders that row as text
// and a history for the row can no longer be sent from the list.
TEST(DateTextRegression, StartDateSortKeepsDatesReadableInBulgarian) {
    testing::RecordingHostFeed feed;
    feed.recordLines = false;
    testing::ManualClock clock(37622 + 8.0 / 24);
    testing::FakeShell shell;
    DataPump pump(feed, clock, shell, Bulgarian(), "/nonexistent-tarnwick-folder");
    shell.pump = &pump;
    shell.Send("ABC!@#Alpha!@#Stock!@#1!@#01/01/2003!@#Date/Time,Close");
    ASSERT_EQ(pump.List().EntryCount(), 1);
    pump.ListView1_ColumnClick(ColumnStartDate);
    const std::string shown = pump.List().EntryAt(1).StartDate;
    EXPECT_EQ(ParseDateText(shown, pump.Locale()), std::optional<double>(37622)) << shown;
}

// The patterns of the other locales read back (a sample of the forms that do work).
TEST(DateTextRegression, OtherLocalePatternsReadBack) {
    for (const char* pattern : {"d.M.yyyy.", "yyyy. MM. dd.", "d. M. yyyy", "dd 'de' MMM yyyy"}) {
        DateLocale l = EnUSLocale();
        l.DateOrder =
            pattern[0] == 'y' ? DateLocale::Order::YearMonthDay : DateLocale::Order::DayMonthYear;
        l.ShortDatePattern = pattern;
        for (double day : {-657434.0, 2.0, 37622.0, 2958465.0}) {
            const std::string text = ShortDateText(day, l);
            EXPECT_EQ(ParseDateText(text, l), std::optional<double>(day)) << pattern << " " << text;
        }
    }
}

}  // namespace
}  // namespace tarnwick
