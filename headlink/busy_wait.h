#pragma once
// The short spin waits of the head's RTS framing, calibrated once at start-up.

#include <cstdint>

#include "platform/clock.h"

namespace kelvanor {

// Counts how many calendar-time reads (each a read plus a conversion to local time) fit in
// one second: waits for the seconds value to change, then counts reads until it changes
// again. Takes between one and two seconds on the system clock.
int32_t calibrate_delay(Clock& clock);

}  // namespace kelvanor
