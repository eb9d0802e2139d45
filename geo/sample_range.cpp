#include "geo/sample_range.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvanor {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// A side whose strongest echo stays below this share of full scale holds only noise.
constexpr uint32_t kNoiseShareDivisor = 16;

}  // namespace

double slant_range_metres(int32_t index, double range_metres, int32_t samples) {
    if (samples <= 0) return 0.0;
    return static_cast<double>(index) * range_metres / static_cast<double>(samples);
}

std::optional<double> ground_range_metres(double slant_metres, double altitude_metres) {
    if (!(slant_metres >= altitude_metres) || altitude_metres < 0.0) return std::nullopt;
    return std::sqrt(slant_metres * slant_metres - altitude_metres * altitude_metres);
}

std::optional<float> side_altitude_metres(const RecordEchoes& echoes, SonarSide side) {
    if (!echoes.holds(side) || echoes.samples_per_side <= 0) return std::nullopt;
    if (echoes.bottom_value != 0) return static_cast<float>(echoes.bottom_value) / 100.0f;
    const int32_t n = echoes.samples_per_side;
    uint32_t strongest = 0;
    for (int32_t i = 0; i < n; ++i) strongest = std::max(strongest, echoes.sample(side, i));
    if (strongest < std::max(1u, echoes.full_scale() / kNoiseShareDivisor)) return std::nullopt;
    const uint32_t threshold = (strongest + 1) / 2;
    for (int32_t i = 0; i < n; ++i) {
        if (echoes.sample(side, i) >= threshold) {
            return static_cast<float>(slant_range_metres(i, echoes.range_metres, n));
        }
    }
    return std::nullopt;
}

GeoPoint sensor_position(const GeoPoint& antenna, double heading_degrees,
                         const SensorOffsets& offsets) {
    const double forward = offsets.forward_metres - offsets.layback_metres;
    const double starboard = offsets.starboard_metres;
    if (forward == 0.0 && starboard == 0.0) return antenna;
    const double h = heading_degrees * kRadiansPerDegree;
    const double north = forward * std::cos(h) - starboard * std::sin(h);
    const double east = forward * std::sin(h) + starboard * std::cos(h);
    return offset_point(antenna, north, east);
}

GeoPoint across_track_point(const GeoPoint& sensor, double heading_degrees, SonarSide side,
                            double ground_metres) {
    const double starboard = side == SonarSide::Port ? -ground_metres : ground_metres;
    const double h = heading_degrees * kRadiansPerDegree;
    return offset_point(sensor, -starboard * std::sin(h), starboard * std::cos(h));
}

}  // namespace kelvanor
