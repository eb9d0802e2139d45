#pragma once
// A contact: a target marked on one side of one ping at a slant range, placed on the Earth
// through geo/ and written as the JSON object that the window stores and `vkd locate` prints.

#include <cstdint>
#include <optional>
#include <string>

#include "geo/sample_range.h"
#include "geo/track.h"

namespace kelvanor {

// What is known of the ping a contact is marked on. Anything missing stays missing: a
// contact on a ping without a position has no position.
struct ContactPing {
    std::optional<int64_t> record;       // the record's index in its file, from 0
    std::optional<double> time_seconds;  // local time, seconds since 1970
    std::optional<GeoPoint> antenna;     // the GPS antenna's position
    std::optional<double> heading_degrees;
    std::optional<double> altitude_metres;  // above the seabed, on the marked side
    std::string time_text;                  // the time as shown, when it is not known as a number
};

// The ping as the track of its recording knows it, seen from one side.
ContactPing contact_ping_from_track(const TrackPing& ping, SonarSide side);

struct Contact {
    int number = 0;
    std::string note;
    ContactPing ping;
    SonarSide side = SonarSide::Port;
    double slant_range_metres = 0.0;
    std::optional<double> ground_range_metres;
    std::optional<GeoPoint> target;
    // Why the target has no position ("no position at this ping", ...); empty when it has.
    std::string no_position_reason;
    std::optional<double> length_metres;  // a Target Length result marked with it
    std::optional<double> height_metres;  // a Target Height result marked with it
    std::string picture;                  // file name of its picture, empty when none
};

// Places a contact at `slant_metres` on `side` of `ping`, the sensor placed by `offsets`:
// ground range from the altitude, across the track from the sensor, port to the left.
Contact locate_contact(const ContactPing& ping, SonarSide side, double slant_metres,
                       const SensorOffsets& offsets);

// The contact as one line of JSON: the target's "latitude" and "longitude" at the top level
// (null, with "no_position" saying why, when it has none), the antenna's under "ship".
std::string contact_json(const Contact& contact);

// "2024-05-14T09:30:00.40": local time with hundredths; empty for no time.
std::string contact_time_text(const std::optional<double>& time_seconds);
// The ping's time as above, else its time text.
std::string contact_time_text(const ContactPing& ping);

// `value` with `decimals` places after the point, whatever the locale.
std::string fixed_text(double value, int decimals);

const char* side_name(SonarSide side);  // "port" or "stbd"

}  // namespace kelvanor
