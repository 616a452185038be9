#pragma once
// What every fuzz target shares: a check that reports the broken rule and aborts, so libFuzzer
// records the input as a crash.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tarnwick::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* rule,
                              const std::string& detail) {
    std::fprintf(stderr, "%s:%d: broken rule: %s\n  %s\n", file, line, rule, detail.c_str());
    std::abort();
}

// The bytes of a text with control and non-ASCII bytes escaped, for failure messages.
inline std::string Printable(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out.push_back(ch);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out + "\"";
}

}  // namespace tarnwick::fuzz

#define FUZZ_CHECK(cond, detail)                                                  \
    do {                                                                          \
        if (!(cond)) ::tarnwick::fuzz::Fail(__FILE__, __LINE__, #cond, (detail)); \
    } while (0)

#include <unistd.h>

namespace tarnwick::fuzz {

// A folder for files a target writes, in memory when /dev/shm is there: the list file is synced
// to disk on every write, which on a real disk would slow a target to a few runs a second.
inline std::string MakeTempFolder(const char* name) {
    const std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/" + name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
}

}  // namespace tarnwick::fuzz
