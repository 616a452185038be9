#pragma once
// Sizes of the table store's queue and transactions, shared with its tests and benchmark.
#include <chrono>
#include <cstddef>

namespace orbfeed::store {

// Values of a row carried in the queue slot itself; wider rows take a heap copy.
inline constexpr int kInlineValues = 64;
// Slots in the queue between the caller and the writer (a power of two). With 64 values a slot
// is about 560 bytes, so the queue holds about 2.3 MB whatever the history's length.
inline constexpr std::size_t kQueueSlots = 4096;
// A transaction is committed after this many rows ...
inline constexpr int kRowsPerTransaction = 500000;
// ... or when the queue runs empty and the transaction is this old (live rows trickling in) ...
inline constexpr std::chrono::milliseconds kCommitDelay{100};
// ... or, while the queue stays full (a history arriving), when it is this old.
inline constexpr std::chrono::milliseconds kBulkCommitDelay{1000};
// How long a write waits for another process's lock before it gives up on the batch.
inline constexpr int kBusyTimeoutMs = 2000;
// After a failed write the writer drops work for this long before it tries the database again.
inline constexpr std::chrono::milliseconds kRetryDelay{1000};
// Highest column number whose label is kept.
inline constexpr int kMaxLabelColumn = 4096;
// Widest row accepted; wider rows are dropped.
inline constexpr int kMaxRowValues = 1 << 16;

}  // namespace orbfeed::store
