#include "host/text_rules.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace tarnwick {
namespace {

// ---- Trimmed, HasSeparator, Head, Tail ----

struct TrimCase {
    std::string in;
    std::string out;
};

TEST(Trimmed, RemovesOnlySpacesAtBothEnds) {
    const TrimCase cases[] = {
        {"", ""},
        {" ", ""},
        {"   ", ""},
        {"abc", "abc"},
        {"  abc  ", "abc"},
        {" a b ", "a b"},
        {"\tabc\t", "\tabc\t"},
        {" \tabc\t ", "\tabc\t"},
        {"\nabc", "\nabc"},
        {"abc\r", "abc\r"},
        {std::string("\xc2\xa0x\xc2\xa0"), std::string("\xc2\xa0x\xc2\xa0")},  // NBSP stays
    };
    for (const auto& c : cases) EXPECT_EQ(Trimmed(c.in), c.out) << '[' << c.in << ']';
}

TEST(HasSeparator, FindsTheThreeCharactersOnly) {
    EXPECT_TRUE(HasSeparator("!@#"));
    EXPECT_TRUE(HasSeparator("a!@#b"));
    EXPECT_TRUE(HasSeparator("!!@#"));
    EXPECT_FALSE(HasSeparator(""));
    EXPECT_FALSE(HasSeparator("!@"));
    EXPECT_FALSE(HasSeparator("!@ #"));
    EXPECT_FALSE(HasSeparator("#@!"));
}

struct HeadTailCase {
    std::string in;
    std::string head;
    std::string tail;
};

TEST(HeadTail, SplitAtTheFirstSeparator) {
    const HeadTailCase cases[] = {
        {"ABC!@#Alpha", "ABC", "Alpha"},
        {"  ABC  !@#  Alpha  ", "ABC", "  Alpha  "},
        {"!@#", "", ""},
        {"!@#!@#", "", "!@#"},
        {"a!@#b!@#c", "a", "b!@#c"},
        {"!!@#x", "!", "x"},
        {"\tA\t!@#x", "\tA\t", "x"},
        {"A!@#Open,High", "A", "Open,High"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Head(c.in), c.head) << c.in;
        EXPECT_EQ(Tail(c.in), c.tail) << c.in;
    }
}

TEST(HeadTail, TailIsAViewIntoTheArgument) {
    const std::string text = "sym!@#rest";
    const std::string_view tail = Tail(text);
    EXPECT_EQ(tail.data(), text.data() + 6);
    EXPECT_EQ(tail.size(), 4u);
}

TEST(HeadTail, WithoutSeparatorHeadIsTheTrimmedTextAndTailEmpty) {
    EXPECT_EQ(Head("  abc "), "abc");
    EXPECT_TRUE(Tail("abc").empty());
    EXPECT_TRUE(Tail("").empty());
}

TEST(HeadTail, TakesTheFieldsOfAHistoryRequest) {
    const std::string t =
        "ABC!@#Alpha!@#Stock!@#1!@#01/01/2003!@#Date/Time,Open,High,Low,Close,Volume";
    EXPECT_EQ(Head(t), "ABC");
    EXPECT_EQ(Head(Tail(t)), "Alpha");
    EXPECT_EQ(Head(Tail(Tail(t))), "Stock");
    EXPECT_EQ(Head(Tail(Tail(Tail(t)))), "1");
    EXPECT_EQ(Head(Tail(Tail(Tail(Tail(t))))), "01/01/2003");
    EXPECT_EQ(Tail(Tail(Tail(Tail(Tail(t))))), "Date/Time,Open,High,Low,Close,Volume");
}

// ---- NumberValue ----

struct ValueCase {
    std::string in;
    double out;
};

TEST(NumberValue, ReadsTheNumberAtTheStart) {
    const ValueCase cases[] = {
        {"1", 1},      {"0", 0},       {"-1", -1},       {"+1", 1},       {"1 minute", 1},
        {" -1", -1},   {".5", 0.5},    {"abc", 0},       {"", 0},         {"   ", 0},
        {"5", 5},      {"0.5", 0.5},   {"0.011", 0.011}, {"0.01", 0.01},  {"2.5", 2.5},
        {"1E3", 1000}, {"1e3", 1000},  {"1D3", 1000},    {"1d5", 100000}, {"1e", 1},
        {"1e+", 1},    {"1e-", 1},     {"1ex", 1},       {"1E-2", 0.01},  {"1.5e+2", 150},
        {"5.", 5},     {".", 0},       {"-.", 0},        {"-", 0},        {"+", 0},
        {"--1", 0},    {"+-1", 0},     {"1.2.3", 1.2},   {"12abc", 12},   {"1!@#2", 1},
        {"1,5", 1},    {"e5", 0},      {".e5", 0},       {"-0", 0},       {"0x10", 0},
        {"00012", 12}, {"000.000", 0}, {"1.", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(NumberValue(c.in), c.out) << '[' << c.in << ']';
}

TEST(NumberValue, SkipsSpaceTabAndLineFeedEverywhere) {
    const ValueCase cases[] = {
        {"1 2", 12},
        {"- 1", -1},
        {"1\n.5", 1.5},
        {"\n\n7", 7},
        {"\t-\t3", -3},
        {"1 e 2", 100},
        {"1e - 2", 0.01},
        {"1 2 3 4", 1234},
        {"\r5", 0},  // carriage return is not
                     // skipped
        {"5\r5", 5},
        {" . 5", 0.5},
    };
    for (const auto& c : cases) EXPECT_EQ(NumberValue(c.in), c.out) << '[' << c.in << ']';
}

TEST(NumberValue, NeverInfiniteOrNaN) {
    EXPECT_EQ(NumberValue("1e999"), DBL_MAX);
    EXPECT_EQ(NumberValue("-1e999"), -DBL_MAX);
    EXPECT_EQ(NumberValue("1e999999999999999999999"), DBL_MAX);
    EXPECT_EQ(NumberValue("1e-999"), 0.0);
    EXPECT_EQ(NumberValue("-1e-999"), 0.0);
    EXPECT_FALSE(std::signbit(NumberValue("-1e-999")));
    EXPECT_EQ(NumberValue("1e-999999999999999999999"), 0.0);
    EXPECT_EQ(NumberValue(std::string(400, '9')), DBL_MAX);
    EXPECT_EQ(NumberValue("-" + std::string(400, '9')), -DBL_MAX);
    EXPECT_EQ(NumberValue("." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(NumberValue("1.7976931348623157e308"), DBL_MAX);
    EXPECT_EQ(NumberValue("1.8e308"), DBL_MAX);
    EXPECT_EQ(NumberValue("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(NumberValue("2.2250738585072014e-308"), DBL_MIN);
}

TEST(NumberValue, LongDigitStringsStayExact) {
    // 1 followed by 500 zeros and a fraction: 1e500 overflows; 300 digits do not.
    const std::string big = "1" + std::string(300, '0');
    EXPECT_EQ(NumberValue(big), 1e300);
    EXPECT_EQ(NumberValue(big + ".999"), 1e300);
    // Leading zeros do not count as significant digits.
    EXPECT_EQ(NumberValue(std::string(2000, '0') + "25"), 25);
    EXPECT_EQ(NumberValue("." + std::string(300, '0') + "5"), 5e-301);
    // Many digits after the kept ones: the sticky rule still rounds correctly. The halfway
    // point between 1 and the next double is 1 + 2^-53; just above it rounds up.
    const std::string halfway = "1.00000000000000011102230246251565404236316680908203125";
    EXPECT_EQ(NumberValue(halfway), 1.0);  // exact tie: to even
    EXPECT_EQ(NumberValue(halfway + std::string(1000, '0') + "1"), std::nextafter(1.0, 2.0));
    EXPECT_EQ(NumberValue(halfway + std::string(1000, '0')), 1.0);
    // A huge run of integer digits past the kept ones still scales the value.
    EXPECT_EQ(NumberValue("1" + std::string(1000, '0') + "e-1000"), 1.0);
    EXPECT_EQ(NumberValue("12345678901234567890"), 12345678901234567890.0);
}

// ---- NumberText ----

struct TextCase {
    double in;
    std::string out;
};

TEST(NumberText, ShortDecimalForms) {
    const TextCase cases[] = {
        {1, "1"},
        {0, "0"},
        {-0.0, "0"},
        {-1, "-1"},
        {0.5, ".5"},
        {-0.25, "-.25"},
        {0.01, ".01"},
        {0.011, ".011"},
        {5, "5"},
        {10, "10"},
        {100, "100"},
        {2.5, "2.5"},
        {1000, "1000"},
        {-5, "-5"},
        {0.1 + 0.2, ".3"},
        {1.0 / 3.0, ".333333333333333"},
        {2.0 / 3.0, ".666666666666667"},
        {-1.0 / 3.0, "-.333333333333333"},
        {123456789012345678.0, "1.23456789012346E+17"},
        {123456789012345.0, "123456789012345"},
        {999999999999999.0, "999999999999999"},
        {9999999999999999.0, "1E+16"},
        {999999999999999.4, "999999999999999"},
        {999999999999999.6, "1E+15"},
        {1e15, "1E+15"},
        {1.5e20, "1.5E+20"},
        {-2.5e-20, "-2.5E-20"},
        {1e300, "1E+300"},
        {1e-300, "1E-300"},
        {1e-15, ".000000000000001"},
        {1.5e-15, ".0000000000000015"},
        {1e-16, "1E-16"},
        {0.1, ".1"},
        {12.5, "12.5"},
        {1234.5678, "1234.5678"},
        {DBL_MAX, "1.79769313486232E+308"},
        {-DBL_MAX, "-1.79769313486232E+308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
    };
    for (const auto& c : cases) EXPECT_EQ(NumberText(c.in), c.out) << c.in;
}

TEST(NumberText, NonFiniteValuesGiveTexts) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(NumberText(inf), "1.79769313486232E+308");
    EXPECT_EQ(NumberText(-inf), "-1.79769313486232E+308");
    EXPECT_EQ(NumberText(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(NumberValue(NumberText(inf)), DBL_MAX);
    EXPECT_EQ(NumberValue(NumberText(-inf)), -DBL_MAX);
    EXPECT_EQ(NumberValue(NumberText(std::numeric_limits<double>::quiet_NaN())), 0.0);
}

TEST(NumberText, FifteenDigitNumbersRoundTrip) {
    std::mt19937_64 random(12345);
    std::uniform_int_distribution<std::int64_t> mantissa(1, 999999999999999);
    std::uniform_int_distribution<int> exponent(-320, 300);
    char buffer[64];
    for (int k = 0; k < 20000; ++k) {
        std::snprintf(buffer, sizeof buffer, "%s%llde%d", (k % 2) ? "-" : "",
                      static_cast<long long>(mantissa(random)), exponent(random));
        const double v = NumberValue(buffer);
        const std::string text = NumberText(v);
        ASSERT_EQ(NumberValue(text), v) << buffer << " -> " << text;
    }
}

TEST(NumberText, TextsOfValuesReadBackToThemselves) {
    // Any text NumberText writes is itself a 15-digit number: writing it again changes nothing.
    std::mt19937_64 random(777);
    for (int k = 0; k < 20000; ++k) {
        double v;
        const std::uint64_t bits = random();
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        const std::string text = NumberText(v);
        ASSERT_EQ(NumberText(NumberValue(text)), text) << v;
    }
}

TEST(NumberText, IntervalValuesRoundTrip) {
    const double values[] = {1, 0, -1, 0.5, -0.5, 0.01, 0.011, 5, 0.25, 2.5, 1e-3, 60, 1440};
    for (double v : values) EXPECT_EQ(NumberValue(NumberText(v)), v) << v;
}

TEST(SubscriptionKey, JoinsSymbolSeparatorAndNumberText) {
    EXPECT_EQ(SubscriptionKey("ABC", 1), "ABC!@#1");
    EXPECT_EQ(SubscriptionKey("ABC", -1), "ABC!@#-1");
    EXPECT_EQ(SubscriptionKey("ABC", 0.5), "ABC!@#.5");
    EXPECT_EQ(SubscriptionKey("ABC", 0), "ABC!@#0");
    EXPECT_EQ(SubscriptionKey("", 1), "!@#1");
    EXPECT_EQ(SubscriptionKey("ABC", NumberValue("1 minute")), "ABC!@#1");
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

TEST(NumberValue, RandomTextsGiveFiniteValues) {
    const std::string alphabet = "0123456789.+-eEdD \t\nx!@#";
    std::mt19937 random(99);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int k = 0; k < 200000; ++k) {
        std::string text;
        const int n = length(random);
        for (int c = 0; c < n; ++c) text.push_back(alphabet[pick(random)]);
        const double v = NumberValue(text);
        ASSERT_TRUE(std::isfinite(v)) << text;
        ASSERT_FALSE(v == 0.0 && std::signbit(v)) << text;
    }
}

}  // namespace
}  // namespace tarnwick
