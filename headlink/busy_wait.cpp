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

int32_t busy_wait_reads(int32_t delay_loops_per_second, int32_t microseconds) {
    const float n =
        static_cast<float>(delay_loops_per_second) * static_cast<float>(microseconds) * 0.000001f +
        0.5f;
    // Above any count a calibration can give; also keeps the conversion defined.
    if (!(n < 2.0e9f)) return 2000000000;
    const auto reads = static_cast<int32_t>(n);
    return reads < 1 ? 1 : reads;
}

void busy_wait(Clock& clock, int32_t delay_loops_per_second, int32_t microseconds) {
    const int32_t reads = busy_wait_reads(delay_loops_per_second, microseconds);
    for (int32_t i = 0; i < reads; ++i) timed_read(clock);
}

}  // namespace kelvanor
