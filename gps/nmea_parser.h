#pragma once
// NMEA 0183 sentences from the GPS receiver: GLL, GGA or RMC give the position, RMC or VTG
// the speed over ground and the course. The parsers scan characters at fixed offsets and
// never compute a numeric position: the position stays text, " DD.MM.mmm N" then
// "DDD.MM.mmm E", exactly as the panel shows it and every ping record stores it.
//
// No checksum is tested and the talker characters are not looked at. Everything here runs on
// the GPS reader thread.

#include <functional>
#include <optional>
#include <span>

#include "gps/gps_state.h"
#include "settings/head_state.h"

namespace kelvanor {

// The read-outs that follow the GPS. The reader thread calls them itself after it has
// changed a value; an empty function draws nothing. None is called with the position-text
// lock held, so the position read-out takes the lock itself to copy the text.
struct GpsReadoutHooks {
    std::function<void()> draw_position;
    std::function<void(float speed_knots)> draw_speed;
    std::function<void(float heading_degrees)> draw_heading;
};

// What one sentence changed.
struct DispatchOutcome {
    bool position_taken = false;         // position_text was rewritten
    bool speed_and_heading_set = false;  // speed_knots and heading_degrees were written
};

// Handles the sentence in gps.line ("$" at 0, CR LF at its end): the position sentence
// chosen by GPSHeadingType sets position_text, and with speed_from_gps RMC or VTG set the
// speed and the course. Other sentences are ignored.
DispatchOutcome dispatch_sentence(const GpsContext& context, const GpsReadoutHooks& hooks = {});

// What one sentence says. The parsers read nothing but the line and change nothing; the
// dispatcher applies what they found.
struct NmeaFix {
    NmeaWorkFields position;  // the parts of the position text (all empty for VTG)
    // Speed over ground, already bounded, when the sentence gave speed and course.
    std::optional<float> speed_knots;
    // The course, when the sentence gave speed and a course that is one (0..360 degrees):
    // a speed without it leaves the previous heading.
    std::optional<float> course_degrees;

    bool operator==(const NmeaFix&) const = default;
};

// The position parts of the sentence. parse_rmc also gives speed and course when the
// sentence carries both hemispheres: with empty position fields the field count is off and
// the "speed" it would find is the magnetic variation.
NmeaFix parse_gll(const GpsLine& line);
NmeaFix parse_gga(const GpsLine& line);
NmeaFix parse_rmc(const GpsLine& line);

// Speed and course of a VTG sentence; no speed when it carries no "T" or no "N" and is
// ignored.
NmeaFix parse_vtg(const GpsLine& line);

// True when both hemisphere characters were found (N or S, then E or W).
bool hemispheres_valid(const NmeaWorkFields& work);

// Writes the work fields into `text`; characters the fields do not reach keep their content.
void format_position(const NmeaWorkFields& work, std::span<char, kPositionTextSize> text);

// A GPS speed as stored: at most 10 knots, and a positive speed never so small that the time
// to travel a fifth of the range leaves the integer range.
float bound_gps_speed_knots(double knots);
inline constexpr float kGpsMinSpeedKnots = 0.001f;

// A course in degrees, or nothing when the value is no course (beyond 360 degrees or not a
// finite number): the previous heading then stays.
std::optional<float> bound_gps_heading_degrees(double degrees);

// Puts one sentence into the line as the assembler would leave it: the text, then zero
// bytes. Text beyond the capacity is cut. For the tests and the simulator.
void set_gps_line(GpsLine& line, std::span<const char> sentence);

}  // namespace kelvanor
