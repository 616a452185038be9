#pragma once
// The call trace: one line per call the library receives, appended to a file. Lines are buffered
// in memory; a flusher thread writes them out so that a reader sees each call within 200 ms.
// Optionally a second file gets, for every trace line, the steady clock's reading (seconds with
// six decimals) when the call came: line N of that file belongs to line N of the trace when both
// start empty. The trace itself keeps its format.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace orbfeed {

// Builds one trace line: the operation's name, then each argument after a TAB, then LF.
class TraceLine {
  public:
    explicit TraceLine(std::string& out, const char* name) : out_(out) { out_.append(name); }
    TraceLine& Int(int64_t v);
    TraceLine& F32(float v);
    TraceLine& F64(double v);
    // A text as passed, with backslash, TAB, CR and LF escaped; null counts as empty.
    TraceLine& Text(const char* s);
    // A secret text in place of its bytes: one "*" for each.
    TraceLine& Masked(size_t bytes) {
        out_.push_back('\t');
        out_.append(bytes, '*');
        return *this;
    }
    void End() { out_.push_back('\n'); }

  private:
    std::string& out_;
};

class TraceWriter {
  public:
    // Opens path (and timesPath, unless empty) for appending; Enabled() is false when the trace
    // cannot be opened, and no times are kept when their file cannot be (a line on stderr says
    // why).
    explicit TraceWriter(const std::string& path, const std::string& timesPath = "");
    ~TraceWriter();  // writes everything and stops the flusher
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    bool Enabled() const { return fd_ >= 0; }
    // Adds one line built by fill(TraceLine&).
    template <typename Fill>
    void Add(const char* name, Fill&& fill) {
        if (fd_ < 0) return;
        std::unique_lock lock(mu_);
        const bool wasEmpty = pending_.empty();
        TraceLine line(pending_, name);
        fill(line);
        line.End();
        if (timesFd_ >= 0) AppendTime();
        if (pending_.size() > kWriteThroughBytes) {
            WriteLocked();  // the flusher is far behind: keep memory bounded
        } else if (wasEmpty) {
            lock.unlock();
            wake_.notify_one();
        }
    }
    // Writes everything added so far before returning.
    void Flush();
    // The memory the two line buffers hold now.
    size_t BufferBytes();

  private:
    // Above this many buffered bytes the caller writes them itself: the buffer and the one the
    // flusher writes from stay below it, so a trace of billions of lines costs about 2 MiB of
    // memory however fast the calls come.
    static constexpr size_t kWriteThroughBytes = 1u << 20;
    void WriteLocked();
    void Run();
    void AppendTime();

    int fd_ = -1;
    int timesFd_ = -1;
    std::mutex mu_;
    std::mutex writeMu_;
    std::condition_variable wake_;
    std::string pending_;
    std::string writing_;
    std::string pendingTimes_;
    std::string writingTimes_;
    bool stop_ = false;
    std::thread flusher_;
};

}  // namespace orbfeed
