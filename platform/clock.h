#pragma once
// Time as the program sees it. Everything that waits or measures wall-clock time takes a
// Clock, so that tests drive time step by step instead of waiting for it.

#include <cstdint>
#include <ctime>
#include <optional>

namespace kelvanor {

class Clock {
  public:
    virtual ~Clock() = default;
    // Local calendar time in whole seconds (the time stamp texts and the busy-wait calibration).
    virtual std::time_t calendar_seconds() = 0;
    // Microseconds until calendar_seconds() shows its next second, when the clock can tell
    // (nullopt otherwise). A thread that must notice each new second sleeps until then
    // instead of looking every few milliseconds.
    virtual std::optional<int64_t> until_next_second_us() { return std::nullopt; }
    // Local broken-down time of a calendar time.
    virtual std::tm local_time(std::time_t seconds);
    // A millisecond clock that never goes back.
    virtual uint64_t monotonic_ms() = 0;
    // Pauses the calling thread.
    virtual void sleep_ms(int milliseconds) = 0;
    // Microseconds on CLOCK_MONOTONIC: the time base of sleep_until_us().
    virtual int64_t monotonic_us();
    // Sleeps until monotonic_us() has reached `deadline_us` (at once when it has already), to
    // an absolute deadline so that a wake-up that comes late never adds up over a wait.
    virtual void sleep_until_us(int64_t deadline_us);
};

class SystemClock final : public Clock {
  public:
    std::time_t calendar_seconds() override;
    std::optional<int64_t> until_next_second_us() override;
    uint64_t monotonic_ms() override;
    void sleep_ms(int milliseconds) override;
};

}  // namespace kelvanor
