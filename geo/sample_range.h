#pragma once
// Where a sample of a ping lies: sample index → slant range → ground range → latitude and
// longitude across the track, and the altitude above the seabed that turns one into the
// other.

#include <cstdint>
#include <optional>

#include "datafile/record_echoes.h"
#include "geo/position.h"
#include "settings/sensor_offsets.h"

namespace kelvanor {

// Slant range in metres of sample `index` (0 nearest the head) of a side holding `samples`
// samples over `range_metres`: index x range / samples.
double slant_range_metres(int32_t index, double range_metres, int32_t samples);

// Ground range of a slant range over a seabed `altitude_metres` below the sensor:
// sqrt(slant^2 - altitude^2); nothing inside the water column (slant below the altitude).
std::optional<double> ground_range_metres(double slant_metres, double altitude_metres);

// Altitude of the sensor above the seabed on one side: the reply's bottom value where the
// head sent one, else the first return after the water column (the first sample that reaches
// half the side's strongest echo, when that echo stands out of the noise at all). Nothing for
// a side the ping does not hold or where no return is found.
std::optional<float> side_altitude_metres(const RecordEchoes& echoes, SonarSide side);

// The sensor's position from the antenna's and the heading (degrees from true north).
GeoPoint sensor_position(const GeoPoint& antenna, double heading_degrees,
                         const SensorOffsets& offsets);

// The point on the seabed at `ground_metres` across the track from the sensor: to port is to
// the left of the heading, to starboard to the right.
GeoPoint across_track_point(const GeoPoint& sensor, double heading_degrees, SonarSide side,
                            double ground_metres);

}  // namespace kelvanor
