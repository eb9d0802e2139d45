#pragma once
// The simulated vessel's GPS: a straight survey track at a constant speed and course, and the
// NMEA 0183 sentences (GLL, GGA, RMC, VTG) a receiver on it would send, with checksums and
// CR LF. Used by marlinray-sim's GPS terminal, the demo and the tests.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace kelvanor {

struct SimGpsTrack {
    double start_latitude_degrees = -37.8717;   // negative: south
    double start_longitude_degrees = 144.9767;  // negative: west
    float course_degrees = 54.7f;               // true course over ground
    float speed_knots = 3.0f;
    std::time_t start_utc = 1'700'000'000;  // UTC of the track's start, in seconds
};

// Where the vessel is after `elapsed_seconds` on the track.
struct SimGpsFix {
    double latitude_degrees = 0.0;
    double longitude_degrees = 0.0;
    float speed_knots = 0.0f;
    float course_degrees = 0.0f;
    std::time_t utc_seconds = 0;
    int32_t utc_centiseconds = 0;
};

SimGpsFix sim_gps_fix_at(const SimGpsTrack& track, double elapsed_seconds);

// One sentence each, "$GP...*HH\r\n". Latitude and longitude carry four decimals of a minute.
std::string nmea_gll(const SimGpsFix& fix);
std::string nmea_gga(const SimGpsFix& fix);
std::string nmea_rmc(const SimGpsFix& fix);
std::string nmea_vtg(const SimGpsFix& fix);

// What a receiver sends once per fix: GGA, GLL, RMC, VTG in that order.
std::string nmea_fix_sentences(const SimGpsFix& fix);

// XOR of the characters between "$" and "*" (the body passed here holds neither).
uint8_t nmea_checksum(std::string_view body);

// "$" + body + "*HH\r\n".
std::string nmea_sentence(std::string_view body);

// The position fields "DDMM.MMMM,N" and "DDDMM.MMMM,E".
std::string nmea_latitude_field(double degrees);
std::string nmea_longitude_field(double degrees);

}  // namespace kelvanor
