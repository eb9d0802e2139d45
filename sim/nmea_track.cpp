#include "sim/nmea_track.h"

#include <cmath>
#include <cstdio>

namespace kelvanor {

namespace {

constexpr double kMetresPerKnotSecond = 1852.0 / 3600.0;
constexpr double kMetresPerDegreeLatitude = 1852.0 * 60.0;
constexpr double kPi = 3.14159265358979323846;

std::tm utc_of(std::time_t seconds) {
    std::tm out{};
    ::gmtime_r(&seconds, &out);
    return out;
}

std::string time_field(const SimGpsFix& fix) {
    const std::tm t = utc_of(fix.utc_seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%02d%02d%02d.%02d", t.tm_hour, t.tm_min, t.tm_sec,
                  static_cast<int>(fix.utc_centiseconds));
    return text;
}

std::string date_field(const SimGpsFix& fix) {
    const std::tm t = utc_of(fix.utc_seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
    return text;
}

// Degrees and minutes with four decimals, rounded once in whole ten-thousandths of a minute
// so that 59.99996 minutes becomes the next degree, never "60.0000".
std::string coordinate_field(double degrees, int degree_digits, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    const auto units = static_cast<long long>(std::llround(magnitude * 60.0 * 10000.0));
    const long long whole_degrees = units / (60LL * 10000);
    const long long minute_units = units % (60LL * 10000);
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degree_digits, whole_degrees,
                  minute_units / 10000, minute_units % 10000, degrees < 0.0 ? negative : positive);
    return text;
}

std::string one_decimal(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
    return text;
}

}  // namespace

SimGpsFix sim_gps_fix_at(const SimGpsTrack& track, double elapsed_seconds) {
    SimGpsFix fix;
    const double metres = track.speed_knots * kMetresPerKnotSecond * elapsed_seconds;
    const double course = track.course_degrees * kPi / 180.0;
    const double north = metres * std::cos(course);
    const double east = metres * std::sin(course);
    fix.latitude_degrees = track.start_latitude_degrees + north / kMetresPerDegreeLatitude;
    const double latitude_scale = std::cos(track.start_latitude_degrees * kPi / 180.0);
    fix.longitude_degrees =
        track.start_longitude_degrees +
        (latitude_scale > 1e-6 ? east / (kMetresPerDegreeLatitude * latitude_scale) : 0.0);
    fix.speed_knots = track.speed_knots;
    fix.course_degrees = track.course_degrees;
    const double whole = std::floor(elapsed_seconds);
    fix.utc_seconds = track.start_utc + static_cast<std::time_t>(whole);
    fix.utc_centiseconds = static_cast<int32_t>((elapsed_seconds - whole) * 100.0);
    return fix;
}

uint8_t nmea_checksum(std::string_view body) {
    uint8_t sum = 0;
    for (const char c : body) sum ^= static_cast<uint8_t>(c);
    return sum;
}

std::string nmea_sentence(std::string_view body) {
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", nmea_checksum(body));
    return "$" + std::string(body) + tail;
}

std::string nmea_latitude_field(double degrees) {
    return coordinate_field(degrees, 2, 'N', 'S');
}

std::string nmea_longitude_field(double degrees) {
    return coordinate_field(degrees, 3, 'E', 'W');
}

std::string nmea_gll(const SimGpsFix& fix) {
    return nmea_sentence("GPGLL," + nmea_latitude_field(fix.latitude_degrees) + "," +
                         nmea_longitude_field(fix.longitude_degrees) + "," + time_field(fix) +
                         ",A,A");
}

std::string nmea_gga(const SimGpsFix& fix) {
    return nmea_sentence("GPGGA," + time_field(fix) + "," +
                         nmea_latitude_field(fix.latitude_degrees) + "," +
                         nmea_longitude_field(fix.longitude_degrees) + ",1,08,0.9,2.1,M,4.5,M,,");
}

std::string nmea_rmc(const SimGpsFix& fix) {
    return nmea_sentence(
        "GPRMC," + time_field(fix) + ",A," + nmea_latitude_field(fix.latitude_degrees) + "," +
        nmea_longitude_field(fix.longitude_degrees) + "," + one_decimal(fix.speed_knots) + "," +
        one_decimal(fix.course_degrees) + "," + date_field(fix) + ",,,A");
}

std::string nmea_vtg(const SimGpsFix& fix) {
    const float kmh = fix.speed_knots * 1.852f;
    return nmea_sentence("GPVTG," + one_decimal(fix.course_degrees) + ",T,,M," +
                         one_decimal(fix.speed_knots) + ",N," + one_decimal(kmh) + ",K,A");
}

std::string nmea_fix_sentences(const SimGpsFix& fix) {
    return nmea_gga(fix) + nmea_gll(fix) + nmea_rmc(fix) + nmea_vtg(fix);
}

}  // namespace kelvanor
