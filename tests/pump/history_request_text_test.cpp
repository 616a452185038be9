// Reading a history request's text: the refusals and their reasons, the interval limit, the
// field list's shape at tick intervals.
#include "pump/history_request_text.h"

#include <gtest/gtest.h>

#include "tests/support/fixed_date_locales.h"

namespace tarnwick::testing {
namespace {

TEST(HistoryRequestText, RefusesWhatCannotBeServedAndSaysWhy) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "history request ignored: it needs 5 \"!@#\" separators, found 0: \"\""},
        {"A!@#d!@#c!@#1!@#1/1/2003",
         "history request ignored: it needs 5 \"!@#\" separators, found 4: "
         "\"A!@#d!@#c!@#1!@#1/1/2003\""},
        {"A\n!@#d!@#c!@#1!@#hello!@#Close",
         "history request for \"A?\" ignored: the start date \"hello\" is no date"},
        {"A!@#d!@#c!@#1!@#!@#Close",
         "history request for \"A\" ignored: the start date \"\" is no date"},
    };
    for (const auto& [text, reason] : cases) {
        const HistoryRequestReading r = ReadHistoryRequest(text, EnUSLocale());
        EXPECT_FALSE(r.Request) << text;
        EXPECT_EQ(r.Refusal, reason);
    }
}

TEST(HistoryRequestText, LimitsTheIntervalAndShapesTheFields) {
    struct Case {
        std::string interval;
        double served;
        FieldList fields;
    };
    const Case cases[] = {
        {"5", 1, {"Date/Time", "Open", "Close"}}, {"1.5", 1, {"Date/Time", "Open", "Close"}},
        {"1", 1, {"Date/Time", "Open", "Close"}}, {"0.5", 0.5, {"Date/Time", "Open", "Close"}},
        {"0.01", 0.01, {"Date/Time", "Close"}},   {"-3", -3, {"Date/Time", "Close"}},
    };
    for (const Case& c : cases) {
        const HistoryRequestReading r = ReadHistoryRequest(
            " S !@#d!@#c!@#" + c.interval + "!@#1/2/2003!@#Date/Time,Open,Close", EnUSLocale());
        ASSERT_TRUE(r.Request) << c.interval << ": " << r.Refusal;
        EXPECT_EQ(r.Request->Symbol, "S");
        EXPECT_EQ(r.Request->Interval, c.served) << c.interval;
        EXPECT_EQ(r.Request->StartText, "1/2/2003");
        EXPECT_EQ(r.Request->StartDate, 37623);
        EXPECT_EQ(r.Request->Fields, c.fields) << c.interval;
    }
}

}  // namespace
}  // namespace tarnwick::testing
