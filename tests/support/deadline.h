#pragma once
// Deadlines of the tests are hang detectors, never speed tests: generous, and longer still in the
// sanitizer builds, which run several times slower (ThreadSanitizer the slowest) on a machine
// that is busy with other suites at the same time.
#include <chrono>

namespace tarnwick::testing {

#if defined(__SANITIZE_THREAD__)
inline constexpr int kDeadlineScale = 10;
#elif defined(__SANITIZE_ADDRESS__)
inline constexpr int kDeadlineScale = 4;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr int kDeadlineScale = 10;
#elif __has_feature(address_sanitizer)
inline constexpr int kDeadlineScale = 4;
#else
inline constexpr int kDeadlineScale = 1;
#endif
#else
inline constexpr int kDeadlineScale = 1;
#endif

// A deadline stretched for this build.
constexpr std::chrono::milliseconds Deadline(std::chrono::milliseconds base) {
    return base * kDeadlineScale;
}

}  // namespace tarnwick::testing
