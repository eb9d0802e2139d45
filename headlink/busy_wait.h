#pragma once
// The loop count of the start-up calibration, which Diagnostics shows. The RTS lead and hold
// times themselves are waited with sleeps to absolute deadlines (switch_command.cpp): a spin
// on this count kept a core busy for nothing.

#include <cstdint>

#include "platform/clock.h"

namespace kelvanor {

// Counts how many calendar-time reads (each a read plus a conversion to local time) fit in
// one second: waits for the seconds value to change, then counts reads until it changes
// again. Takes between one and two seconds on the system clock.
int32_t calibrate_delay(Clock& clock);

}  // namespace kelvanor
