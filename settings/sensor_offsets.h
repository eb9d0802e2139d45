#pragma once
// Where the sensor is relative to the GPS antenna: a setting (settings/sensor_offsets_io.h
// reads it) that geo/ uses to place what the sensor sees.

namespace kelvanor {

// Where the sensor is relative to the GPS antenna, in metres: ahead of it, to starboard of
// it, and towed behind it (layback, along the heading).
struct SensorOffsets {
    double forward_metres = 0.0;
    double starboard_metres = 0.0;
    double layback_metres = 0.0;
};

}  // namespace kelvanor
