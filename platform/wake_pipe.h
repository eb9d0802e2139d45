#pragma once
// A self-pipe that ends a poll() early: wake() from any thread writes a byte; a waiter polls
// read_fd() beside its own descriptor and consumes the wake-up. A wake-up made while nobody
// waits ends the next wait.

#include <cstdint>

struct timespec;

namespace kelvanor {

class WakePipe {
  public:
    WakePipe();
    ~WakePipe();
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    int read_fd() const { return read_fd_; }
    // Safe from any thread; a full pipe already holds a wake-up.
    void wake();
    // Takes every pending wake-up.
    void consume();
    // Waits up to `timeout_us` for wake() alone. True when woken.
    bool wait(int64_t timeout_us);

  private:
    int read_fd_ = -1;
    int write_fd_ = -1;
};

// A relative time-out for ppoll(); negative counts as zero.
timespec timespec_for_us(int64_t timeout_us);

}  // namespace kelvanor
