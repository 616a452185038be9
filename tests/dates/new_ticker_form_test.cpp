#include "tickers/new_ticker_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "host/text_rules.h"
#include "tests/support/fixed_date_locales.h"

namespace tarnwick {
namespace {

const DateLocale US = EnUSLocale();

constexpr const char* NoSymbol = "You must enter a symbol to add a new ticker symbol.";
constexpr const char* NoName = "You must enter a symbol name to add a new ticker symbol.";
constexpr const char* BadDate = "You must enter a valid Start Date.";
constexpr const char* BadInterval = "You must enter a valid BarInterval.";

TEST(IsNumberText, Accepts) {
    const char* texts[] = {"1",
                           "0",
                           "-1",
                           "2.5",
                           "1E3",
                           "1e3",
                           "1D3",
                           "1d-3",
                           "+1",
                           ".5",
                           "5.",
                           "-.25",
                           "0.5",
                           "-5",
                           " 1",
                           "1 ",
                           "\t1\t",
                           "  -2.5  ",
                           "1e+10",
                           "1E-2",
                           "00012",
                           "1e-999",
                           "123456789012345678901234567890",
                           "1.7976931348623157e308"};
    for (const char* t : texts) EXPECT_TRUE(IsNumberText(t)) << '[' << t << ']';
}

TEST(IsNumberText, Rejects) {
    const char* texts[] = {"",      " ",     "abc",    "1 minute", "1e",    "1e+", "--1", "1.2.3",
                           "+-1",   ".",     "-.",     "-",        "+",     "e5",  "- 1", "1 2",
                           "1,000", "$1",    "0x10",   "&H10",     "1e5.5", "1\n", "\n1", "1f",
                           "1.5x",  "1e999", "-1e999", "1 e5",     "Inf",   "NaN", "1..2"};
    for (const char* t : texts) EXPECT_FALSE(IsNumberText(t)) << '[' << t << ']';
}

TEST(IsNumberText, EveryAcceptedTextHasTheValueNumberValueReads) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"1", 1},      {" -2.5 ", -2.5}, {"5.", 5},     {".5", 0.5},
                 {"1E3", 1000}, {"1d-3", 0.001},  {"\t+7\t", 7}, {"1e-999", 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(IsNumberText(c.text)) << c.text;
        EXPECT_EQ(NumberValue(c.text), c.value) << c.text;
    }
}

NewTickerFields Valid() {
    NewTickerFields f;
    f.Symbol = "ABC";
    f.SymbolName = "Alpha";
    f.Category = std::string(TickerCategories[1]);
    return f;
}

TEST(NewTickerFields, FreshFieldsHoldTheInitialContents) {
    const NewTickerFields f;
    EXPECT_EQ(f.Symbol, "");
    EXPECT_EQ(f.SymbolName, "");
    EXPECT_EQ(f.StartDate, "01/01/2003");
    EXPECT_EQ(f.BarInterval, "1");
    EXPECT_EQ(TickerCategories.size(), 19u);
    EXPECT_EQ(TickerCategories[0], "Miscellaneous Instrument");
    EXPECT_EQ(TickerCategories[18], "Canadian Stock");
    EXPECT_EQ(NewTickerCaption, "Add New Ticker Symbol");
}

TEST(ValidateNewTicker, FreshFieldsAskForTheSymbolFirst) {
    NewTickerFields f;
    EXPECT_EQ(ValidateNewTicker(f, US), NoSymbol);
    f.Symbol = "ABC";
    EXPECT_EQ(ValidateNewTicker(f, US), NoName);
    f.SymbolName = "Alpha";
    EXPECT_EQ(ValidateNewTicker(f, US), std::nullopt);
}

TEST(ValidateNewTicker, BlanksAreNotEmpty) {
    NewTickerFields f = Valid();
    f.Symbol = "   ";
    f.SymbolName = " ";
    EXPECT_EQ(ValidateNewTicker(f, US), std::nullopt);
}

TEST(ValidateNewTicker, StepsInOrder) {
    struct Case {
        std::string symbol, name, date, interval;
        std::optional<std::string> message;
    };
    const Case cases[] = {
        {"", "", "", "", NoSymbol},
        {"", "Alpha", "01/01/2003", "1", NoSymbol},
        {"ABC", "", "", "", NoName},
        {"ABC", "Alpha", "", "1", BadDate},
        {"ABC", "Alpha", " ", "1", BadDate},
        {"ABC", "Alpha", "abc", "1", BadDate},
        {"ABC", "Alpha", "45/45/2003", "1", BadDate},
        {"ABC", "Alpha", "31/02/2003", "1", BadDate},
        {"ABC", "Alpha", "xyz", "abc", BadDate},  // both wrong: only the date message
        {"ABC", "Alpha", "", "", BadDate},
        {"ABC", "Alpha", "01/01/2003", "", BadInterval},
        {"ABC", "Alpha", "01/01/2003", "abc", BadInterval},
        {"ABC", "Alpha", "01/01/2003", "1 minute", BadInterval},
        {"ABC", "Alpha", "01/01/2003", "1e", BadInterval},
        {"ABC", "Alpha", "01/01/2003", "0", std::nullopt},
        {"ABC", "Alpha", "01/01/2003", "-5", std::nullopt},
        {"ABC", "Alpha", "01/01/2003", "0.5", std::nullopt},
        {"ABC", "Alpha", "01/01/2003", "1E3", std::nullopt},
        {"ABC", "Alpha", "01/01/2003 10:30", "1", std::nullopt},
        {"ABC", "Alpha", "January 1, 2003", "2.5", std::nullopt},
        {"ABC", "Alpha", "13/01/2003", "1", std::nullopt},
    };
    for (const auto& c : cases) {
        NewTickerFields f;
        f.Symbol = c.symbol;
        f.SymbolName = c.name;
        f.StartDate = c.date;
        f.BarInterval = c.interval;
        EXPECT_EQ(ValidateNewTicker(f, US), c.message)
            << c.symbol << '|' << c.name << '|' << c.date << '|' << c.interval;
    }
}

TEST(ValidateNewTicker, DateFollowsTheLocale) {
    NewTickerFields f = Valid();
    f.StartDate = "1. Mai 2003";
    EXPECT_EQ(ValidateNewTicker(f, DeDELocale()), std::nullopt);
    EXPECT_EQ(ValidateNewTicker(f, US), BadDate);
    f.StartDate = "31.12.2003";
    EXPECT_EQ(ValidateNewTicker(f, DeDELocale()), std::nullopt);
    EXPECT_EQ(ValidateNewTicker(f, US), std::nullopt);  // no month 31: read day first
    f.StartDate = "12/31/2003";
    EXPECT_EQ(ValidateNewTicker(f, US), std::nullopt);
    EXPECT_EQ(ValidateNewTicker(f, EnGBLocale()), std::nullopt);  // swapped reading
    f.StartDate = "01/01/2003";
    for (const auto& l : {EnUSLocale(), EnGBLocale(), DeDELocale()})
        EXPECT_EQ(ValidateNewTicker(f, l), std::nullopt);
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// Every text that passes has the value NumberValue reads, and that value is finite.
TEST(IsNumberText, RandomAcceptedTextsReadAsTheirValue) {
    const std::string alphabet = "0123456789.+-eEdD \tx";
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(1, 12);
    int accepted = 0;
    for (int k = 0; k < 200000; ++k) {
        std::string text;
        const int n = length(random);
        for (int c = 0; c < n; ++c) text.push_back(alphabet[pick(random)]);
        if (!IsNumberText(text)) continue;
        ++accepted;
        std::string cleaned;
        for (char c : text) {
            if (c == ' ' || c == '\t') continue;
            cleaned.push_back((c == 'd' || c == 'D') ? 'e' : c);
        }
        const double expected = std::strtod(cleaned.c_str(), nullptr);
        const double v = NumberValue(text);
        ASSERT_TRUE(std::isfinite(v)) << text;
        if (std::isfinite(expected)) {
            ASSERT_EQ(v, expected) << text;
        }
    }
    EXPECT_GT(accepted, 1000);
}

}  // namespace
}  // namespace tarnwick
