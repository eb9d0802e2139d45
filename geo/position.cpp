#include "geo/position.h"

#include <cmath>
#include <numbers>

#include "datafile/ping_record.h"

namespace kelvanor {

namespace {

constexpr double kSemiMajorMetres = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kEccentricitySquared = kFlattening * (2.0 - kFlattening);
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

int digits(const char* p, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) value = value * 10 + (p[i] - '0');
    return value;
}

}  // namespace

std::optional<GeoPoint> position_from_text(std::span<const char, kPositionTextSize> t) {
    if (!position_text_is_valid(t)) return std::nullopt;
    const int lat_degrees = digits(&t[1], 2);
    const int lat_minutes = digits(&t[4], 2);
    const int lat_thousandths = digits(&t[7], 3);
    const int lon_degrees = digits(&t[12], 3);
    const int lon_minutes = digits(&t[16], 2);
    const int lon_thousandths = digits(&t[19], 3);
    if (lat_minutes >= 60 || lon_minutes >= 60) return std::nullopt;
    // Whole thousandths of a minute first, then one division: the same text always gives the
    // same bits, whatever the platform.
    const long lat = (lat_degrees * 60L + lat_minutes) * 1000L + lat_thousandths;
    const long lon = (lon_degrees * 60L + lon_minutes) * 1000L + lon_thousandths;
    if (lat > 90L * 60000 || lon > 180L * 60000) return std::nullopt;
    GeoPoint p;
    p.latitude_degrees = static_cast<double>(lat) / 60000.0;
    p.longitude_degrees = static_cast<double>(lon) / 60000.0;
    if (t[11] == 'S') p.latitude_degrees = -p.latitude_degrees;
    if (t[23] == 'W') p.longitude_degrees = -p.longitude_degrees;
    return p;
}

std::optional<GeoPoint> position_from_text(std::string_view text) {
    if (text.size() != kPositionTextSize) return std::nullopt;
    return position_from_text(std::span<const char, kPositionTextSize>(text.data(), text.size()));
}

MetresPerDegree metres_per_degree(double latitude_degrees) {
    const double s = std::sin(latitude_degrees * kRadiansPerDegree);
    const double w = 1.0 - kEccentricitySquared * s * s;
    const double prime_vertical = kSemiMajorMetres / std::sqrt(w);
    const double meridian = kSemiMajorMetres * (1.0 - kEccentricitySquared) / (w * std::sqrt(w));
    return {meridian * kRadiansPerDegree,
            prime_vertical * std::cos(latitude_degrees * kRadiansPerDegree) * kRadiansPerDegree};
}

GeoPoint offset_point(const GeoPoint& from, double north_metres, double east_metres) {
    if (north_metres == 0.0 && east_metres == 0.0) return from;
    const MetresPerDegree m = metres_per_degree(from.latitude_degrees);
    GeoPoint p;
    p.latitude_degrees = from.latitude_degrees + north_metres / m.north;
    p.longitude_degrees = from.longitude_degrees + (m.east > 0.0 ? east_metres / m.east : 0.0);
    if (p.longitude_degrees > 180.0) p.longitude_degrees -= 360.0;
    if (p.longitude_degrees < -180.0) p.longitude_degrees += 360.0;
    return p;
}

namespace {

// North and east metres from a to b on the plane of their mid-point.
void local_difference(const GeoPoint& a, const GeoPoint& b, double& north, double& east) {
    const MetresPerDegree m = metres_per_degree((a.latitude_degrees + b.latitude_degrees) / 2.0);
    double dlon = b.longitude_degrees - a.longitude_degrees;
    if (dlon > 180.0) dlon -= 360.0;
    if (dlon < -180.0) dlon += 360.0;
    north = (b.latitude_degrees - a.latitude_degrees) * m.north;
    east = dlon * m.east;
}

}  // namespace

double distance_metres(const GeoPoint& a, const GeoPoint& b) {
    double north = 0.0, east = 0.0;
    local_difference(a, b, north, east);
    return std::hypot(north, east);
}

double bearing_degrees(const GeoPoint& from, const GeoPoint& to) {
    double north = 0.0, east = 0.0;
    local_difference(from, to, north, east);
    double degrees = std::atan2(east, north) / kRadiansPerDegree;
    if (degrees < 0.0) degrees += 360.0;
    return degrees;
}

}  // namespace kelvanor
