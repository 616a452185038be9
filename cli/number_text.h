#pragma once
// Numbers as the host tool writes them: the shortest text that reads back to the same value
// ("1", "0.5", "-60", "nan"); an interval as the 32-bit float the library was given.
#include <charconv>
#include <string>

namespace orbfeed::cli {

template <typename Number>
std::string ShortestText(Number v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

}  // namespace orbfeed::cli
