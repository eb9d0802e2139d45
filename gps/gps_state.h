#pragma once
// State of the GPS input: the sentence being assembled from the port. The reader thread
// alone touches the line; the run flag is read by the GUI thread as well. What the GPS produces for
// everyone else lives where its readers look for it: speed_knots and heading_degrees in RunState,
// position_text (under its lock) in HeadState.

#include <array>
#include <cstddef>
#include <cstdint>

#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"

namespace kelvanor {

// Room for one sentence being assembled. A line is dropped once it reaches
// kGpsMaxLineLength after a read, and a read brings at most kGpsChunkSize bytes, so a line
// never holds more than 79 + 128 characters; the rest of the buffer stays zero.
inline constexpr size_t kGpsLineCapacity = 1024;
inline constexpr size_t kGpsChunkSize = 128;
inline constexpr int32_t kGpsMaxLineLength = 80;

// GPSHeadingType values: the sentence that carries the position.
inline constexpr int32_t kGpsPositionFromGll = 0;
inline constexpr int32_t kGpsPositionFromGga = 1;
inline constexpr int32_t kGpsPositionFromRmc = 2;

// GPS speeds are held at or below this many knots.
inline constexpr float kGpsMaxSpeedKnots = 10.0f;

// The sentence being assembled. Every byte from `length` to the end of `text` is zero, so a
// parser that runs past the end of a short sentence meets zeros, never the tail of an
// earlier, longer one.
struct GpsLine {
    std::array<char, kGpsLineCapacity> text{};
    int32_t length = 0;
};

// Digits of one part of a coordinate. A part holds at most six digits (the whole part is
// scanned over six characters; longer fractions are cut, only three digits are kept), and
// the buffer keeps a terminating zero byte after them.
struct NmeaDigits {
    static constexpr size_t kCapacity = 7;
    std::array<char, kCapacity> digits{};
    int32_t count = 0;

    void clear() {
        digits.fill(0);
        count = 0;
    }
    void append(char digit) {
        if (static_cast<size_t>(count) + 1 < kCapacity)
            digits[static_cast<size_t>(count++)] = digit;
    }
    bool operator==(const NmeaDigits&) const = default;
};

// The parts of a position as a sentence gives them.
struct NmeaWorkFields {
    NmeaDigits latitude_whole;
    NmeaDigits latitude_fraction;
    NmeaDigits longitude_whole;
    NmeaDigits longitude_fraction;
    char latitude_hemisphere = 0;
    char longitude_hemisphere = 0;

    void clear() {
        latitude_whole.clear();
        latitude_fraction.clear();
        longitude_whole.clear();
        longitude_fraction.clear();
        latitude_hemisphere = 0;
        longitude_hemisphere = 0;
    }
    bool operator==(const NmeaWorkFields&) const = default;
};

struct GpsState {
    SharedInt gps_running = 0;  // the reader loop runs while this is 1

    // Counts for the diagnostics and the tests: sentences handed to the dispatcher, and
    // positions taken into position_text.
    SharedInt sentences_dispatched = 0;
    SharedInt positions_taken = 0;

    // The receiver's device or network source: 1 while it is away and being reopened or
    // reconnected; how many times it went away.
    SharedInt device_missing = 0;
    SharedInt device_losses = 0;

    GpsLine line;
};

// What the GPS side reads and writes of the program state: the settings it follows
// (GPSHeadingType, GPSBaudRate, RunMode), the run values it reads (speed_from_gps, hold)
// and writes (speed_knots, heading_degrees), position_text (under its lock) and its own
// state.
struct GpsContext {
    const Settings& settings;
    RunState& run;
    HeadState& head;
    GpsState& gps;
};

}  // namespace kelvanor
