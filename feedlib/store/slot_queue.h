#pragma once
// The bounded queue between the table store's callers and its writer thread: fixed-size slots,
// one producer at a time (the caller serialises), one consumer (the writer). Rows are copied into
// preallocated slots; only the rare operations (set-up, labels) and rows wider than
// kInlineValues carry a heap object.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feedlib/store/store_limits.h"
#include "feedlib/store/table_store.h"

namespace orbfeed::store {

using Clock = std::chrono::steady_clock;

enum class Op : uint8_t { Row, Setup, Open, Label, Flush, Stop };

// The rare operations' data, and the values of a row too wide for its slot.
struct Command {
    std::string symbol;
    float interval = 0;
    std::string description;
    std::string category;
    double startDate = 0;
    int32_t columns = 0;
    int32_t column = 0;
    std::string label;
    std::vector<double> wide;
};

struct Slot {
    Op op = Op::Row;
    bool replace = false;
    int32_t count = 0;
    StoreTableId table = 0;
    uint64_t token = 0;
    std::unique_ptr<Command> cmd;
    double values[kInlineValues];
};

class SlotQueue {
  public:
    SlotQueue();

    // ---- producer side (one caller at a time) ----

    // The slot at the head, once there is room. A caller that may drop (a row) gets nullptr
    // instead of waiting while the writer reports that it cannot write.
    Slot* Acquire(bool mayDrop);
    // Hands the acquired slot to the writer.
    void Publish();
    // Waits until the writer has passed the flush marker with this token.
    void WaitFlushed(uint64_t token);

    // ---- consumer side (the writer) ----

    // The oldest published slot, or nullptr when the queue is empty.
    Slot* Front();
    // Frees the front slot.
    void Release();
    // Sleeps until a slot is published or the deadline passes.
    void WaitForWork(std::optional<Clock::time_point> deadline);
    void SignalFlushed(uint64_t token);

    // Set by the writer while its writes fail; callers then drop rows rather than wait.
    void SetWriterTroubled(bool troubled) { troubled_.store(troubled); }
    bool WriterTroubled() const { return troubled_.load(std::memory_order_relaxed); }

  private:
    bool HasRoom();
    bool WaitForRoom(bool mayDrop);

    std::unique_ptr<Slot[]> slots_;
    // Producer side.
    uint64_t cachedTail_ = 0;
    // Shared between producer and consumer.
    alignas(64) std::atomic<uint64_t> head_{0};
    alignas(64) std::atomic<uint64_t> tail_{0};
    alignas(64) std::atomic<bool> writerIdle_{false};
    std::atomic<bool> producerWaiting_{false};
    std::atomic<bool> troubled_{false};
    std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable roomCv_;
    std::condition_variable flushedCv_;
    uint64_t flushedToken_ = 0;
};

}  // namespace orbfeed::store
