#include "headlink/busy_wait.h"

namespace kelvanor {

namespace {

// One step of the calibrated loop: a calendar read and its conversion to local time.
std::time_t timed_read(Clock& clock) {
    const std::time_t now = clock.calendar_seconds();
    const std::tm broken_down = clock.local_time(now);
    (void)broken_down;
    return now;
}

}  // namespace

int32_t calibrate_delay(Clock& clock) {
    const std::time_t start = clock.calendar_seconds();
    std::time_t counted = start;
    while (counted == start) counted = clock.calendar_seconds();
    int32_t loops = 0;
    for (;;) {
        const std::time_t now = timed_read(clock);
        if (now != counted) break;
        ++loops;
    }
    return loops;
}

}  // namespace kelvanor
