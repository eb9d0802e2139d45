#pragma once
// Positions on WGS84 in decimal degrees, and the recorded 24-character position text
// (" DD.MM.mmm NDDD.MM.mmm E": degrees, minutes and thousandths of a minute) turned into them.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "settings/head_state.h"

namespace kelvanor {

struct GeoPoint {
    double latitude_degrees = 0.0;   // south negative
    double longitude_degrees = 0.0;  // west negative
    friend bool operator==(const GeoPoint&, const GeoPoint&) = default;
};

// The position of a valid text; nothing for a text that breaks the pattern, has minutes of
// 60 or more, or a latitude beyond 90 or a longitude beyond 180 degrees.
std::optional<GeoPoint> position_from_text(std::span<const char, kPositionTextSize> text);
// The same for a text of any length: only exactly 24 characters can be valid.
std::optional<GeoPoint> position_from_text(std::string_view text);

// Metres per degree of latitude and of longitude at a latitude on the WGS84 ellipsoid (radii
// of curvature of the meridian and of the prime vertical): offsets of up to a few kilometres
// placed with them are good to millimetres.
struct MetresPerDegree {
    double north = 0.0;
    double east = 0.0;
};
MetresPerDegree metres_per_degree(double latitude_degrees);

// The point `north_metres` and `east_metres` away from `from`.
GeoPoint offset_point(const GeoPoint& from, double north_metres, double east_metres);

// Distance in metres and initial bearing in degrees (0..360, clockwise from true north)
// from one point to another nearby, on the local plane of their mid-point.
double distance_metres(const GeoPoint& a, const GeoPoint& b);
double bearing_degrees(const GeoPoint& from, const GeoPoint& to);

}  // namespace kelvanor
