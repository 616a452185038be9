// The short date pattern rules: the year widened to four digits for writing, and the order of
// day, month and year, with quoted literals left alone by both.
#include "win/windows_date_locale.h"

#include <gtest/gtest.h>

namespace tarnwick::win {
namespace {

TEST(WindowsDateLocale, WidenYear) {
    const struct {
        const char* pattern;
        const char* widened;
    } rows[] = {
        {"M/d/yy", "M/d/yyyy"},
        {"dd.MM.y", "dd.MM.yyyy"},
        {"yyyy-MM-dd", "yyyy-MM-dd"},
        {"d 'yy' yy", "d 'yy' yyyy"},
    };
    for (const auto& r : rows) EXPECT_EQ(WidenYear(r.pattern), r.widened) << r.pattern;
}

TEST(WindowsDateLocale, PatternOrder) {
    using Order = DateLocale::Order;
    const struct {
        const char* pattern;
        Order order;
    } rows[] = {
        {"M/d/yyyy", Order::MonthDayYear},
        {"dd.MM.yyyy", Order::DayMonthYear},
        {"yy/MM/dd", Order::YearMonthDay},
        {"'Day' dd/MM/yyyy", Order::DayMonthYear},
    };
    for (const auto& r : rows) EXPECT_EQ(PatternOrder(r.pattern), r.order) << r.pattern;
}

}  // namespace
}  // namespace tarnwick::win
