#pragma once
// Time as the program sees it. Everything that waits or measures wall-clock time takes a
// Clock, so that tests drive time step by step instead of waiting for it.

#include <cstdint>
#include <ctime>

namespace kelvanor {

class Clock {
public:
    virtual ~Clock() = default;
    // Local calendar time in whole seconds (the time stamp texts and the busy-wait calibration).
    virtual std::time_t calendar_seconds() = 0;
    // Local broken-down time of a calendar time.
    virtual std::tm local_time(std::time_t seconds);
    // A millisecond clock that never goes back.
    virtual uint64_t monotonic_ms() = 0;
    // Pauses the calling thread.
    virtual void sleep_ms(int milliseconds) = 0;
};

class SystemClock final : public Clock {
public:
    std::time_t calendar_seconds() override;
    uint64_t monotonic_ms() override;
    void sleep_ms(int milliseconds) override;
};

}  // namespace kelvanor
