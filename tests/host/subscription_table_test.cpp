#include "host/subscription_table.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(SubscriptionTable, KeysIgnoreLetterCaseAndStayUnique) {
    SubscriptionTable t;
    EXPECT_TRUE(t.Add("ABC!@#1", {"Close"}));
    EXPECT_FALSE(t.Add("abc!@#1", {"Open"}));
    ASSERT_NE(t.Find("aBc!@#1"), nullptr);
    EXPECT_EQ(*t.Find("aBc!@#1"), (FieldList{"Close"}));
    EXPECT_EQ(t.Find("ABC!@#-1"), nullptr);
    EXPECT_EQ(t.Count(), 1u);
    // Only ASCII letters fold: other bytes must match exactly.
    EXPECT_TRUE(t.Add("\xc3\xa9!@#1", {}));
    EXPECT_EQ(t.Find("\xc3\x89!@#1"), nullptr);
}

TEST(SubscriptionTable, KeepsTheOrderOfAdditionAcrossRemovals) {
    SubscriptionTable t;
    for (int i = 0; i < 200; ++i) t.Add("K" + std::to_string(i), {std::to_string(i)});
    for (int i = 0; i < 200; i += 2) EXPECT_TRUE(t.Remove("k" + std::to_string(i)));
    EXPECT_FALSE(t.Remove("K0"));
    t.Add("NEW", {});
    t.Put("K1", {"again"});  // replacing keeps the position
    std::vector<std::string> keys = t.Keys();
    ASSERT_EQ(keys.size(), 101u);
    EXPECT_EQ(keys.front(), "K1");
    EXPECT_EQ(keys[1], "K3");
    EXPECT_EQ(keys.back(), "NEW");
    EXPECT_EQ(*t.Find("k1"), (FieldList{"again"}));
    for (int i = 1; i < 200; i += 2) EXPECT_TRUE(t.Contains("K" + std::to_string(i)));
}

TEST(SubscriptionTable, PutAddsWhenAbsentAndKeepsTheFirstSpelling) {
    SubscriptionTable t;
    t.Put("abc!@#1", {"a"});
    t.Put("ABC!@#1", {"b"});
    EXPECT_EQ(t.Count(), 1u);
    EXPECT_EQ(t.Keys(), (std::vector<std::string>{"abc!@#1"}));
    EXPECT_EQ(*t.Find("ABC!@#1"), (FieldList{"b"}));
}

}  // namespace
}  // namespace tarnwick
