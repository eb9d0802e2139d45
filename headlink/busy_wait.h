#pragma once
// The short spin waits of the head's RTS framing, calibrated once at start-up.

#include <cstdint>

#include "platform/clock.h"

namespace kelvanor {

// Counts how many calendar-time reads (each a read plus a conversion to local time) fit in
// one second: waits for the seconds value to change, then counts reads until it changes
// again. Takes between one and two seconds on the system clock.
int32_t calibrate_delay(Clock& clock);

// How many such reads make a wait of `microseconds`: trunc(loops x us x 1e-6 + 0.5) in single
// precision, and at least one, however small the calibration.
int32_t busy_wait_reads(int32_t delay_loops_per_second, int32_t microseconds);

// Spins for about `microseconds` by repeating the calibrated read. It never sleeps or
// yields: the RTS window around a switch command is far shorter than a sleep's resolution.
void busy_wait(Clock& clock, int32_t delay_loops_per_second, int32_t microseconds);

}  // namespace kelvanor
