#pragma once
// Flushes a record or copy file to stable storage from a thread of its own, so that a power
// cut costs at most the last interval of pings and the thread that appends never waits for a
// slow card. The appending side only publishes how many bytes it has written (an atomic
// store); this thread flushes a duplicate of the file's descriptor whenever that count moved,
// and once more at the stop.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace kelvanor {

// What reaches the storage: fdatasync by default; tests put a recorder behind it. Returns 0 on
// success, as fdatasync does.
using DataSync = std::function<int(int fd)>;

struct SyncOptions {
    DataSync sync;  // empty: fdatasync
    // Half a second, so that a flush taking a while still leaves less than a second unsafe.
    std::chrono::milliseconds interval{500};
};

class RecordSyncer {
  public:
    // Duplicates `fd` (the writer may close its own descriptor first) and starts the thread.
    // Without a duplicate (no descriptors left) nothing is flushed and failures() counts it.
    RecordSyncer(int fd, SyncOptions options);
    // Stops as stop() does.
    ~RecordSyncer();
    RecordSyncer(const RecordSyncer&) = delete;
    RecordSyncer& operator=(const RecordSyncer&) = delete;

    // The file now holds `total_bytes` written bytes. Never waits.
    void note_written(int64_t total_bytes) {
        written_.store(total_bytes, std::memory_order_release);
    }
    // Ends the thread and flushes once more, whatever was flushed before. A second call does
    // nothing.
    void stop();

    int64_t syncs() const { return syncs_.load(); }        // flushes made
    int64_t failures() const { return failures_.load(); }  // flushes that failed

  private:
    void run();
    void sync_now();

    int fd_ = -1;
    SyncOptions options_;
    std::atomic<int64_t> written_{0};
    int64_t synced_ = 0;  // the syncing thread's own (the thread, then stop() after the join)
    std::atomic<int64_t> syncs_{0};
    std::atomic<int64_t> failures_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool stopped_ = false;
    std::thread thread_;
};

}  // namespace kelvanor
