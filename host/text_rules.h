#pragma once
// Text rules shared by every command: the field separator, trimming, head/tail, and the two
// number conversions NumberValue and NumberText. Texts are UTF-8.
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view FieldSeparator = "!@#";

// Leading and trailing U+0020 removed; tabs and other white space stay.
std::string Trimmed(std::string_view text);

// True when text contains FieldSeparator.
bool HasSeparator(std::string_view text);

// head(x): the characters before the first separator, trimmed. Requires HasSeparator(x).
std::string Head(std::string_view text);

// tail(x): the characters after the first separator, untrimmed. Requires HasSeparator(x).
std::string_view Tail(std::string_view text);

// The value of the number at the start of text; 0 when there is none. See text_rules.cpp for
// the exact grammar and the overflow rule.
double NumberValue(std::string_view text);

// A number as short text: ".5", "-.25", "0", at most 15 significant digits.
std::string NumberText(double value);

// The SubscriptionKey of a symbol and an interval value: symbol, "!@#", NumberText(value).
std::string SubscriptionKey(std::string_view symbol, double interval);

}  // namespace tarnwick
