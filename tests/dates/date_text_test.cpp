#include "tickers/date_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "tests/support/fixed_date_locales.h"

namespace tarnwick {
namespace {

const DateLocale US = EnUSLocale();
const DateLocale GB = EnGBLocale();
const DateLocale DE = DeDELocale();

// ---- Day numbers ----

TEST(DayNumberOf, KnownDays) {
    EXPECT_EQ(DayNumberOf(1899, 12, 30), 0);
    EXPECT_EQ(DayNumberOf(1899, 12, 31), 1);
    EXPECT_EQ(DayNumberOf(1900, 1, 1), 2);
    EXPECT_EQ(DayNumberOf(1900, 3, 1), 61);  // 1900 is no leap year
    EXPECT_EQ(DayNumberOf(2003, 1, 1), 37622);
    EXPECT_EQ(DayNumberOf(2000, 2, 29), 36585);
    EXPECT_EQ(DayNumberOf(1899, 12, 29), -1);
    EXPECT_EQ(DayNumberOf(100, 1, 1), -657434);
    EXPECT_EQ(DayNumberOf(9999, 12, 31), 2958465);
    EXPECT_EQ(DayNumberOf(4637, 11, 25), 999999);
    EXPECT_EQ(DayNumberOf(4637, 11, 26), 1000000);
    EXPECT_EQ(DayNumberOf(2002, 13, 1), DayNumberOf(2003, 1, 1));  // months carry over
    EXPECT_EQ(DayNumberOf(2003, 0, 1), DayNumberOf(2002, 12, 1));
}

TEST(CalendarDateOf, InvertsDayNumberOfEverywhere) {
    for (long long n = -700000; n <= 3000000; n += 1) {
        int y = 0, m = 0, d = 0;
        CalendarDateOf(n, y, m, d);
        ASSERT_EQ(DayNumberOf(y, m, d), static_cast<double>(n)) << n;
        ASSERT_GE(m, 1);
        ASSERT_LE(m, 12);
        ASSERT_GE(d, 1);
        ASSERT_LE(d, 31);
    }
}

TEST(CalendarDateOf, ExtremeNumbersDoNotOverflow) {
    int y = 0, m = 0, d = 0;
    CalendarDateOf(std::numeric_limits<long long>::max(), y, m, d);
    EXPECT_GT(y, 1000000000);
    CalendarDateOf(std::numeric_limits<long long>::min(), y, m, d);
    EXPECT_LT(y, -1000000000);
    CalendarDateOf(37622, y, m, d);
    EXPECT_EQ(y, 2003);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(d, 1);
}

TEST(DayNumberText, SixDigitsWithLeadingZeros) {
    EXPECT_EQ(DayNumberText(37622), "037622");
    EXPECT_EQ(DayNumberText(0), "000000");
    EXPECT_EQ(DayNumberText(2), "000002");
    EXPECT_EQ(DayNumberText(999999), "999999");
    EXPECT_EQ(DayNumberText(1000000), "1000000");
    EXPECT_EQ(DayNumberText(2958465), "2958465");
    EXPECT_EQ(DayNumberText(-1), "-000001");
    EXPECT_EQ(DayNumberText(-657434), "-657434");
    EXPECT_EQ(DayNumberText(std::numeric_limits<long long>::min()), "-9223372036854775808");
}

TEST(DayNumberText, TextOrderIsDateOrderFrom1899To4637) {
    const long long days[] = {0, 1, 2, 9, 10, 99, 37622, 37623, 100000, 999999};
    for (std::size_t k = 1; k < std::size(days); ++k)
        EXPECT_LT(DayNumberText(days[k - 1]), DayNumberText(days[k]));
}

// ---- Reading dates ----

struct DateCase {
    std::string text;
    int y, m, d;
    double seconds;  // time of day
};

void ExpectDates(const DateLocale& locale, const char* name, std::initializer_list<DateCase> cs) {
    for (const auto& c : cs) {
        const std::optional<double> v = ParseDateText(c.text, locale);
        ASSERT_TRUE(v.has_value()) << name << " [" << c.text << ']';
        EXPECT_DOUBLE_EQ(*v, DayNumberOf(c.y, c.m, c.d) + c.seconds / 86400.0)
            << name << " [" << c.text << ']';
    }
}

void ExpectRejected(const DateLocale& locale, const char* name,
                    std::initializer_list<std::string> texts) {
    for (const auto& t : texts)
        EXPECT_FALSE(ParseDateText(t, locale).has_value()) << name << " [" << t << ']';
}

TEST(ParseDateText, TheDefaultStartDateIsFirstJanuary2003InEveryLocale) {
    DateLocale ymd = US;
    ymd.DateOrder = DateLocale::Order::YearMonthDay;
    ymd.ShortDatePattern = "yyyy-MM-dd";
    for (const DateLocale* l : {&US, &GB, &DE, static_cast<const DateLocale*>(&ymd)}) {
        const auto v = ParseDateText("01/01/2003", *l);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(*v, 37622);
    }
}

TEST(ParseDateText, MonthDayYear) {
    ExpectDates(US, "en_US",
                {
                    {"01/01/2003", 2003, 1, 1, 0},
                    {"1/1/2003", 2003, 1, 1, 0},
                    {"03/05/2003", 2003, 3, 5, 0},
                    {"12/01/2002", 2002, 12, 1, 0},
                    {"12-31-2003", 2003, 12, 31, 0},
                    {"2.29.2004", 2004, 2, 29, 0},
                    {"13/01/2003", 2003, 1, 13, 0},  // no month 13: read day first
                    {"1/31/03", 2003, 1, 31, 0},
                    {"1/1/29", 2029, 1, 1, 0},
                    {"1/1/30", 1930, 1, 1, 0},
                    {"1/1/99", 1999, 1, 1, 0},
                    {"1/1/00", 2000, 1, 1, 0},
                    {"1/1/5", 2005, 1, 1, 0},
                });
}

TEST(ParseDateText, DayMonthYear) {
    for (const DateLocale* l : {&GB, &DE}) {
        ExpectDates(*l, "dmy",
                    {
                        {"01/01/2003", 2003, 1, 1, 0},
                        {"03/05/2003", 2003, 5, 3, 0},
                        {"12/01/2002", 2002, 1, 12, 0},
                        {"31.12.2003", 2003, 12, 31, 0},
                        {"1.2.03", 2003, 2, 1, 0},
                        {"01/13/2003", 2003, 1, 13, 0},  // no month 13: read month first
                        {"29-02-2004", 2004, 2, 29, 0},
                    });
    }
}

TEST(ParseDateText, IsoYearFirstInEveryLocale) {
    for (const DateLocale* l : {&US, &GB, &DE}) {
        ExpectDates(*l, "iso",
                    {
                        {"2003-01-15", 2003, 1, 15, 0},
                        {"2003/12/01", 2003, 12, 1, 0},
                        {"2003-1-2", 2003, 1, 2, 0},
                        {"0100-01-01", 100, 1, 1, 0},
                        {"9999-12-31", 9999, 12, 31, 0},
                    });
        // A year-first text is never read as year-day-month.
        ExpectRejected(*l, "iso", {"2003-13-01", "2003-02-30"});
    }
}

TEST(ParseDateText, YearMonthDayLocale) {
    DateLocale ymd = US;
    ymd.DateOrder = DateLocale::Order::YearMonthDay;
    ymd.ShortDatePattern = "yy/MM/dd";
    ExpectDates(ymd, "ymd",
                {
                    {"03/02/01", 2003, 2, 1, 0},
                    {"2003/02/01", 2003, 2, 1, 0},
                    {"02/01/2003", 2003, 2, 1, 0},  // a four-digit year last: month first
                    {"03 Feb 01", 2003, 2, 1, 0},
                    {"Feb 01 03", 2003, 2, 1, 0},
                });
}

TEST(ParseDateText, FourDigitYearsAreNeverMisread) {
    ExpectDates(US, "en_US",
                {
                    {"1/1/1929", 1929, 1, 1, 0},
                    {"1/1/2030", 2030, 1, 1, 0},
                    {"1/1/1850", 1850, 1, 1, 0},
                    {"1/1/0999", 999, 1, 1, 0},
                    {"1/1/999", 999, 1, 1, 0},
                    {"1/1/0100", 100, 1, 1, 0},
                    {"12/31/9999", 9999, 12, 31, 0},
                });
    ExpectRejected(US, "en_US", {"1/1/0099", "1/1/099", "1/1/0000", "1/1/10000", "1/1/20031"});
}

TEST(ParseDateText, MonthNames) {
    ExpectDates(US, "en_US",
                {
                    {"1 Jan 2003", 2003, 1, 1, 0},
                    {"January 1, 2003", 2003, 1, 1, 0},
                    {"january 1 2003", 2003, 1, 1, 0},
                    {"JAN 1 03", 2003, 1, 1, 0},
                    {"1-Feb-2003", 2003, 2, 1, 0},
                    {"1Feb2003", 2003, 2, 1, 0},
                    {"2003 Mar 4", 2003, 3, 4, 0},
                    {"4 2003 Mar", 2003, 3, 4, 0},
                    {"Sep 30, 2003", 2003, 9, 30, 0},
                    {"1 May 2003", 2003, 5, 1, 0},
                    {"December 31 2003", 2003, 12, 31, 0},
                });
    ExpectDates(DE, "de_DE",
                {
                    {"1. Januar 2003", 2003, 1, 1, 0},
                    {"1. Jan. 2003", 2003, 1, 1, 0},
                    {"3. M\xC3\xA4rz 2003", 2003, 3, 3, 0},
                    {"3. M\xC3\x84RZ 2003", 2003, 3, 3, 0},
                    {"3. m\xC3\xA4rz 2003", 2003, 3, 3, 0},
                    {"1. Mai 2003", 2003, 5, 1, 0},
                    {"24. Dezember 2003", 2003, 12, 24, 0},
                    {"24. Dez. 2003", 2003, 12, 24, 0},
                    {"1 October 2003", 2003, 10, 1, 0},  // English names are read too
                    {"5. Sept. 2003", 2003, 9, 5, 0},
                });
    ExpectRejected(US, "en_US", {"1 Foo 2003", "Jan Feb 2003", "1 Janu 2003", "Januar 1 2003x"});
}

TEST(ParseDateText, TimeOfDayBecomesTheFraction) {
    ExpectDates(US, "en_US",
                {
                    {"01/01/2003 10:30", 2003, 1, 1, 10 * 3600 + 30 * 60},
                    {"01/01/2003 10:30:15", 2003, 1, 1, 10 * 3600 + 30 * 60 + 15},
                    {"01/01/2003 9:00", 2003, 1, 1, 9 * 3600},
                    {"01/01/2003 10:30 PM", 2003, 1, 1, 22 * 3600 + 30 * 60},
                    {"01/01/2003 10:30 am", 2003, 1, 1, 10 * 3600 + 30 * 60},
                    {"01/01/2003 10:30PM", 2003, 1, 1, 22 * 3600 + 30 * 60},
                    {"01/01/2003 12:00 AM", 2003, 1, 1, 0},
                    {"01/01/2003 12:00 PM", 2003, 1, 1, 12 * 3600},
                    {"01/01/2003 10 PM", 2003, 1, 1, 22 * 3600},
                    {"01/01/2003 23:59:59", 2003, 1, 1, 86399},
                    {"01/01/2003 0:00", 2003, 1, 1, 0},
                    {"January 1, 2003, 6:00", 2003, 1, 1, 6 * 3600},
                    {"  01/01/2003\t10:30  ", 2003, 1, 1, 10 * 3600 + 30 * 60},
                    {"1/1/1900 6:00", 1900, 1, 1, 6 * 3600},
                });
    DateLocale german = DE;
    german.AmText = "vorm.";
    german.PmText = "nachm.";
    ExpectDates(german, "de_DE",
                {
                    {"01.01.2003 10:30 nachm.", 2003, 1, 1, 22 * 3600 + 30 * 60},
                    {"01.01.2003 10:30 VORM.", 2003, 1, 1, 10 * 3600 + 30 * 60},
                    {"01.01.2003 10:30 PM", 2003, 1, 1, 22 * 3600 + 30 * 60},
                });
    ExpectDates(GB, "en_GB", {{"01/01/2003 10:30 pm", 2003, 1, 1, 22 * 3600 + 30 * 60}});
    EXPECT_EQ(*ParseDateText("01/01/2003 09:00", US), 37622.375);
}

TEST(ParseDateText, RejectsWhatIsNoDate) {
    ExpectRejected(US, "en_US",
                   {
                       "",
                       " ",
                       "\t ",
                       "abc",
                       "tomorrow",
                       "May",
                       "45/45/2003",
                       "13/13/2003",
                       "31/02/2003",
                       "2/31/2003",
                       "2/29/2003",
                       "0/1/2003",
                       "1/0/2003",
                       "01/01/2003x",
                       "01/01/2003 x",
                       "01/01/2003 10",
                       "01/01/2003 10:",
                       "01/01/2003 24:00",
                       "01/01/2003 10:60",
                       "01/01/2003 10:30:60",
                       "01/01/2003 13:00 PM",
                       "01/01/2003 10:30 XM",
                       "01/01/2003 10:30:15:01",
                       "01/01/2003 100:00",
                       "01/01/2003/1",
                       "01/01",
                       "1/1 10:30",
                       "10:30",
                       "10:30:15",
                       "01012003",
                       "1/1/2003-",
                       "-1/1/2003",
                       "1//",
                       "//",
                       "1/1/ ",
                       "1.5/1/2003",
                       "1/1/2003\n",
                       std::string("1/1/2003\0", 9),
                       "\xC3\xA4",
                       "\xFF\xFE",
                   });
}

TEST(ParseDateText, NegativeDaysAreWholeDaysOnly) {
    EXPECT_EQ(*ParseDateText("12/29/1899", US), -1);
    EXPECT_EQ(*ParseDateText("1/1/1850", US), DayNumberOf(1850, 1, 1));
    EXPECT_EQ(*ParseDateText("1/1/1850 0:00", US), DayNumberOf(1850, 1, 1));
    EXPECT_FALSE(ParseDateText("1/1/1850 10:30", US).has_value());
    EXPECT_EQ(*ParseDateText("12/30/1899 10:30", US), 0.4375);
}

TEST(ParseDateText, LocaleSeparatorsAndLiterals) {
    DateLocale korean = US;
    korean.DateOrder = DateLocale::Order::YearMonthDay;
    korean.ShortDatePattern = "yyyy. M. d.";
    ExpectDates(korean, "ko",
                {{"2003. 1. 2.", 2003, 1, 2, 0}, {"2003. 1. 2. 10:00", 2003, 1, 2, 36000}});
    DateLocale spanishLike = GB;
    spanishLike.ShortDatePattern = "d 'de' MMMM 'de' yyyy";
    ExpectDates(spanishLike, "quoted", {{"2 de January de 2003", 2003, 1, 2, 0}});
    DateLocale odd = GB;
    odd.ShortDatePattern = "dd_MM_yyyy";
    ExpectDates(odd, "odd", {{"02_01_2003", 2003, 1, 2, 0}, {"02/01/2003", 2003, 1, 2, 0}});
    ExpectRejected(GB, "en_GB", {"02_01_2003"});
}

TEST(ParseDateText, LocaleWithoutNamesStillReadsEnglish) {
    DateLocale bare;
    bare.MonthNames.clear();
    bare.ShortMonthNames = {"x"};  // too short a list is no problem
    ExpectDates(bare, "bare", {{"1 Jan 2003", 2003, 1, 1, 0}});
    EXPECT_EQ(ShortDateText(37622, bare), "1/1/2003");
}

// ---- Writing the short date form ----

TEST(ShortDateText, PresetForms) {
    EXPECT_EQ(ShortDateText(37622, US), "1/1/2003");
    EXPECT_EQ(ShortDateText(37622, GB), "01/01/2003");
    EXPECT_EQ(ShortDateText(37622, DE), "01.01.2003");
    EXPECT_EQ(ShortDateText(DayNumberOf(2003, 12, 31), US), "12/31/2003");
    EXPECT_EQ(ShortDateText(DayNumberOf(2003, 12, 31), GB), "31/12/2003");
    EXPECT_EQ(ShortDateText(DayNumberOf(2003, 12, 31), DE), "31.12.2003");
    EXPECT_EQ(ShortDateText(37622.99, US), "1/1/2003");  // time of day ignored
    EXPECT_EQ(ShortDateText(DayNumberOf(999, 3, 4), US), "3/4/0999");
}

TEST(ShortDateText, PatternTokens) {
    DateLocale l = DE;
    const double day = DayNumberOf(2003, 3, 7);
    const std::pair<std::string, std::string> cases[] = {
        {"d.M.yy", "7.3.03"},
        {"dd.MM.yyyy", "07.03.2003"},
        {"d. MMMM yyyy", "7. M\xC3\xA4rz 2003"},
        {"d. MMM yyyy", "7. M\xC3\xA4rz 2003"},
        {"'Tag' d", "Tag 7"},
        {"d 'o''clock' ''", "7 o'clock '"},
        {"dddd d", " 7"},
        {"y", "2003"},
        {"'unclosed", "unclosed"},
        {"", ""},
    };
    for (const auto& [pattern, text] : cases) {
        l.ShortDatePattern = pattern;
        EXPECT_EQ(ShortDateText(day, l), text) << pattern;
    }
    l.ShortDatePattern = "dd MMM yyyy";
    EXPECT_EQ(ShortDateText(DayNumberOf(2003, 1, 7), l), "07 Jan. 2003");
}

TEST(ShortDateText, OutOfRangeGivesEmptyText) {
    EXPECT_EQ(ShortDateText(std::numeric_limits<double>::quiet_NaN(), US), "");
    EXPECT_EQ(ShortDateText(std::numeric_limits<double>::infinity(), US), "");
    EXPECT_EQ(ShortDateText(1e300, US), "");
    EXPECT_EQ(ShortDateText(-657435, US), "");
    EXPECT_EQ(ShortDateText(2958466, US), "");
    EXPECT_EQ(ShortDateText(-657434, US), "1/1/0100");
    EXPECT_EQ(ShortDateText(2958465, US), "12/31/9999");
}

TEST(ShortDateText, RoundTripsEveryDayOf2003AndFarDates) {
    std::vector<long long> days;
    for (long long n = DayNumberOf(2003, 1, 1); n <= DayNumberOf(2003, 12, 31); ++n)
        days.push_back(n);
    for (long long n : {-657434LL, -1LL, 0LL, 1LL, 2LL, 36585LL, 999999LL, 1000000LL, 2958465LL})
        days.push_back(n);
    for (long long n = -657434; n <= 2958465; n += 997) days.push_back(n);

    DateLocale longNames = DE;
    longNames.ShortDatePattern = "d. MMMM yyyy";
    DateLocale shortNames = US;
    shortNames.ShortDatePattern = "MMM d, yyyy";
    for (const DateLocale* l :
         std::initializer_list<const DateLocale*>{&US, &GB, &DE, &longNames, &shortNames}) {
        for (long long n : days) {
            const std::string text = ShortDateText(static_cast<double>(n), *l);
            const auto back = ParseDateText(text, *l);
            ASSERT_TRUE(back.has_value()) << text;
            ASSERT_EQ(*back, static_cast<double>(n)) << text;
        }
    }
}

TEST(SortByDate, DayNumberTextsOrderDatesWhereTheTextsDoNot) {
    // With month/day/year texts, 03/05/2003 sorts before 12/01/2002 as text but comes after it
    // by date; the day-number texts order them by date.
    const auto a = ParseDateText("03/05/2003", US);
    const auto b = ParseDateText("12/01/2002", US);
    ASSERT_TRUE(a && b);
    EXPECT_LT(std::string("03/05/2003"), std::string("12/01/2002"));
    EXPECT_GT(DayNumberText(std::llround(*a)), DayNumberText(std::llround(*b)));
    EXPECT_EQ(ShortDateText(*a, US), "3/5/2003");
    EXPECT_EQ(
        ShortDateText(std::stod(DayNumberText(std::llround(*ParseDateText("01/01/2003", US)))), US),
        "1/1/2003");
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// Random texts from date-like characters: whatever is accepted is a day in range whose short
// date form reads back to the same day, and nothing crashes.
TEST(ParseDateText, RandomTextsAreReadSafely) {
    const std::string alphabet = "0123456789/-.:, \tJanFebMayDezPAMpam'\xC3\xA4x";
    std::mt19937 random(4242);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 24);
    int accepted = 0;
    for (int k = 0; k < 100000; ++k) {
        std::string text;
        const int n = length(random);
        for (int c = 0; c < n; ++c) text.push_back(alphabet[pick(random)]);
        for (const DateLocale* l : {&US, &GB, &DE}) {
            const auto v = ParseDateText(text, *l);
            if (!v) continue;
            ++accepted;
            ASSERT_TRUE(std::isfinite(*v)) << text;
            ASSERT_GE(*v, -657434.0) << text;
            ASSERT_LT(*v, 2958466.0) << text;
            const double day = std::trunc(*v);
            const auto back = ParseDateText(ShortDateText(*v, *l), *l);
            ASSERT_TRUE(back.has_value()) << text;
            ASSERT_EQ(*back, day) << text;
        }
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace tarnwick
