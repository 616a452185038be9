// The table store's bounded slot queue: room and wake-ups between the callers and the writer.
#include "feedlib/store/slot_queue.h"

namespace orbfeed::store {
namespace {

static_assert((kQueueSlots & (kQueueSlots - 1)) == 0, "queue size must be a power of two");
// A caller waiting for room resumes when the queue is no fuller than this.
constexpr uint64_t kResumeFill = kQueueSlots * 3 / 4;

}  // namespace

SlotQueue::SlotQueue() : slots_(std::make_unique<Slot[]>(kQueueSlots)) {}

bool SlotQueue::HasRoom() {
    uint64_t head = head_.load(std::memory_order_relaxed);
    if (head - cachedTail_ < kQueueSlots) return true;
    cachedTail_ = tail_.load();
    return head - cachedTail_ < kQueueSlots;
}

// Waits until a quarter of the queue is free, so that caller and writer do not take turns slot by
// slot. A row (mayDrop) gives up at once while the writer cannot write.
bool SlotQueue::WaitForRoom(bool mayDrop) {
    if (mayDrop && troubled_.load(std::memory_order_relaxed)) return false;
    std::unique_lock lk(mutex_);
    producerWaiting_.store(true);
    while (head_.load(std::memory_order_relaxed) - tail_.load() > kResumeFill) {
        if (mayDrop && troubled_.load()) {
            producerWaiting_.store(false);
            return false;
        }
        roomCv_.wait_for(lk, std::chrono::milliseconds(50));
    }
    producerWaiting_.store(false);
    cachedTail_ = tail_.load();
    return true;
}

Slot* SlotQueue::Acquire(bool mayDrop) {
    if (!HasRoom() && !WaitForRoom(mayDrop)) return nullptr;
    return &slots_[head_.load(std::memory_order_relaxed) & (kQueueSlots - 1)];
}

void SlotQueue::Publish() {
    head_.store(head_.load(std::memory_order_relaxed) + 1);
    if (writerIdle_.load()) {
        std::lock_guard lk(mutex_);
        workCv_.notify_one();
    }
}

void SlotQueue::WaitFlushed(uint64_t token) {
    std::unique_lock lk(mutex_);
    flushedCv_.wait(lk, [&] { return flushedToken_ >= token; });
}

Slot* SlotQueue::Front() {
    uint64_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load()) return nullptr;
    return &slots_[tail & (kQueueSlots - 1)];
}

void SlotQueue::Release() {
    const uint64_t tail = tail_.load(std::memory_order_relaxed) + 1;
    tail_.store(tail);
    if (producerWaiting_.load() && head_.load() - tail <= kResumeFill) {
        std::lock_guard lk(mutex_);
        roomCv_.notify_all();
    }
}

void SlotQueue::WaitForWork(std::optional<Clock::time_point> deadline) {
    std::unique_lock lk(mutex_);
    writerIdle_.store(true);
    if (tail_.load(std::memory_order_relaxed) == head_.load()) {
        // The timeout is only a safety net; Publish wakes the writer.
        auto until = deadline.value_or(Clock::now() + std::chrono::seconds(1));
        workCv_.wait_until(lk, until);
    }
    writerIdle_.store(false);
}

void SlotQueue::SignalFlushed(uint64_t token) {
    std::lock_guard lk(mutex_);
    flushedToken_ = token;
    flushedCv_.notify_all();
}

}  // namespace orbfeed::store
