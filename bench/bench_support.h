#pragma once
// Shared pieces of the benchmark programs: timing, the no-op feed library, figures.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/loaded_host_feed.h"

namespace tarnwick::bench {

inline constexpr const char* NoopLibrary = "libORBFEED_noop.so";

inline double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

inline double ThreadCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Wall-clock and CPU time of one run. On a busy machine the CPU time is the fairer figure: the
// wall clock also counts the time the process waited for a core.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

template <typename Fn>
Timing Measure(Fn&& fn) {
    const double cpuStart = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    fn();
    Timing t;
    t.wall = Seconds(std::chrono::steady_clock::now() - start);
    t.cpu = ThreadCpuSeconds() - cpuStart;
    return t;
}

inline std::string ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return ".";
    path.resize(static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The no-op library through the program's own binding, and its committed-row counter.
struct NoopFeed {
    std::unique_ptr<LoadedHostFeed> feed;
    long long (*committedRows)() = nullptr;

    NoopFeed() {
        feed = LoadedHostFeed::load(ProgramFolder(), NoopLibrary);
        void* handle = ::dlopen(feed->path().c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle == nullptr) throw std::runtime_error("no-op library not loaded");
        committedRows =
            reinterpret_cast<long long (*)()>(::dlsym(handle, "ORBFEED_noop_committed_rows"));
        if (committedRows == nullptr) throw std::runtime_error("no-op library lacks its counter");
    }
};

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace tarnwick::bench
