// The library's copy of the pump's list: set-ups add rows, a set-up of the same symbol, category
// and interval replaces its row, a remove command takes out the first row of its symbol at the
// interval or its negation.
#include "feedlib/served_tables.h"

#include <gtest/gtest.h>

namespace orbfeed {
namespace {

using Tables = std::vector<std::pair<std::string, float>>;

struct Step {
    const char* setUp;  // "SYMBOL CATEGORY", or null for a command
    float interval;
    const char* command;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    Tables served;
};

TEST(ServedTables, FollowsThePumpsList) {
    const Case cases[] = {
        {"set-ups",
         {{"ABC Stock", 1, nullptr}, {"XYZ Stock", 0, nullptr}},
         {{"ABC", 1}, {"XYZ", 0}}},
        {"removed",
         {{"ABC Stock", 1, nullptr}, {nullptr, 0, "*****RemoveTicker*****!@#ABC!@#1"}},
         {}},
        {"negated interval",
         {{"ABC Stock", -1, nullptr}, {nullptr, 0, "x*****RemoveTicker*****!@# ABC !@#1"}},
         {}},
        {"other interval",
         {{"ABC Stock", 1, nullptr}, {nullptr, 0, "*****RemoveTicker*****!@#ABC!@#5"}},
         {{"ABC", 1}}},
        {"letter case",
         {{"ABC Stock", 1, nullptr}, {nullptr, 0, "*****RemoveTicker*****!@#abc!@#1"}},
         {{"ABC", 1}}},
        {"too few separators",
         {{"ABC Stock", 1, nullptr}, {nullptr, 0, "*****RemoveTicker*****!@#ABC"}},
         {{"ABC", 1}}},
        {"a history request is no removal",
         {{"ABC Stock", 1, nullptr}, {nullptr, 0, "ABC!@#A!@#Stock!@#1!@#2003-01-01!@#Close"}},
         {{"ABC", 1}}},
        // Two rows of one table (two categories): the table is served until both are removed.
        {"two rows",
         {{"ABC Stock", 1, nullptr},
          {"ABC Bond", 1, nullptr},
          {nullptr, 0, "*****RemoveTicker*****!@#ABC!@#1"}},
         {{"ABC", 1}}},
        // A set-up of the same three replaces the row: one removal takes it out.
        {"replaced",
         {{"ABC Stock", 1, nullptr},
          {"ABC Stock", 1, nullptr},
          {nullptr, 0, "*****RemoveTicker*****!@#ABC!@#1.0"}},
         {}},
    };
    for (const Case& c : cases) {
        ServedTables served;
        for (const Step& s : c.steps) {
            if (s.setUp != nullptr) {
                const std::string words = s.setUp;
                const size_t blank = words.find(' ');
                served.SetUp(words.substr(0, blank), words.substr(blank + 1), s.interval);
            } else {
                served.Command(s.command);
            }
        }
        EXPECT_EQ(served.Tables(), c.served) << c.name;
    }
}

}  // namespace
}  // namespace orbfeed
