#pragma once
// Tells the pump's completion report of a history request apart from the transfer's own 100.
//
// A transfer reports 100 as soon as its percentage rounds to 100, while up to half a percent of
// its rows may still follow (for a long history that tail lasts seconds); the pump reports 100
// again at least one second after the transfer's last row and after all its progress reports.
// Live rows (at most two a second per table) may arrive in between.
//
// So an UpdatePercent(100) is final when
//   - at least 0.9 s passed since the previous UpdatePercent (or since the last set-up, when no
//     UpdatePercent came after it), and
//   - in the 0.9 s before it, the table set up last received fewer than 20 rows a second,
// or when no table was set up since the last history request was sent (no data came).
//
// The rows of the trailing window come from samples of the table's commit counter (the library's
// thread takes one every 50 ms; every set-up and report adds one too), so the per-row path never
// reads a clock. The window starts at the newest sample at least 0.9 s old.
#include <chrono>
#include <cstdint>
#include <deque>

namespace orbfeed {

class FinalProgressRule {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuiet{900};
    static constexpr double kMaxRowsPerSecond = 20.0;

    // A history request text was handed to the channel.
    void RequestSent() { requestWithoutSetup_ = true; }
    // A table was set up; commits is that table's commit count now.
    void SetUp(Clock::time_point now, uint64_t commits) {
        requestWithoutSetup_ = false;
        haveSetup_ = true;
        samples_.clear();
        Sample(now, commits);
        lastEvent_ = now;
    }
    // The commit count of the table set up last, observed at now.
    void Sample(Clock::time_point now, uint64_t commits) {
        if (!haveSetup_) return;
        samples_.push_back({now, commits});
        // Keep one sample older than the window and everything after it.
        while (samples_.size() > 2 && samples_[1].at <= now - 2 * kQuiet) samples_.pop_front();
        if (samples_.size() > 400) samples_.pop_front();
    }
    // An UpdatePercent(percent) arrived; commits is the commit count of the table set up last.
    // Returns whether it is the final report of a history request.
    bool Percent(Clock::time_point now, int32_t percent, uint64_t commits) {
        bool final = false;
        if (percent == 100) {
            if (requestWithoutSetup_ || !haveSetup_) {
                final = true;
            } else if (now - lastEvent_ >= kQuiet) {
                const Entry* base = &samples_.front();
                for (const Entry& e : samples_) {
                    if (e.at <= now - kQuiet) base = &e;
                }
                const double seconds = std::chrono::duration<double>(now - base->at).count();
                const double rows = static_cast<double>(commits - base->commits);
                final = rows < kMaxRowsPerSecond * seconds;
            }
        }
        if (final) requestWithoutSetup_ = false;
        lastEvent_ = now;
        Sample(now, commits);
        return final;
    }

  private:
    struct Entry {
        Clock::time_point at;
        uint64_t commits;
    };
    std::deque<Entry> samples_;
    Clock::time_point lastEvent_{};
    bool requestWithoutSetup_ = false;
    bool haveSetup_ = false;
};

}  // namespace orbfeed
