// Fuzzes the GPS line assembler and the NMEA sentence dispatcher: any bytes, read in chunks
// of any size up to the port's chunk, for each position sentence type, with and without GPS
// speed. Nothing may be read or written outside a buffer; the position text is either empty
// or has the form the record reader accepts; speed and course stay in their ranges.
//
// Input: byte 0 chooses the position sentence (value % 3) and GPS speed ((value / 3) % 2),
// byte 1 the read size (1 + value % 128); the rest is what the receiver sent.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <span>

#include "control/app_state.h"
#include "datafile/ping_record.h"
#include "gps/gps_line_assembler.h"

namespace {

using namespace kelvanor;

void require(bool condition) {
    if (!condition) std::abort();
}

void check_position(const AppState& app) {
    std::lock_guard lock(app.head.position_text_lock);
    const auto& text = app.head.position_text;
    const bool empty = std::all_of(text.begin(), text.end(), [](char c) { return c == '\0'; });
    require(empty || position_text_is_valid(text));
}

void check_speed(float knots) {
    require(knots >= 0.0f && knots <= kGpsMaxSpeedKnots);
}

void check_heading(float degrees) {
    require(std::isfinite(degrees) && degrees >= 0.0f && degrees <= 360.0f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // One state for the whole run (a fresh AppState costs more than the input); what the GPS
    // touches starts from its initial value for every input.
    static AppState& app = *new AppState;
    app.gps = GpsState{};
    {
        std::lock_guard lock(app.head.position_text_lock);
        app.head.position_text.fill('\0');
    }
    app.run.speed_knots = 3.0f;
    app.run.heading_degrees = 0.0f;
    app.settings.RunMode = RunMode::Head;
    app.settings.GPSHeadingType = data[0] % 3;
    app.run.speed_from_gps = (data[0] / 3) % 2 != 0;
    const size_t chunk = 1 + data[1] % kGpsChunkSize;

    GpsReadoutHooks hooks;
    hooks.draw_position = [] { check_position(app); };
    hooks.draw_speed = check_speed;
    hooks.draw_heading = check_heading;

    const std::span<const uint8_t> stream(data + 2, size - 2);
    for (size_t at = 0; at < stream.size(); at += chunk) {
        assemble_gps_chunk(gps_context(app),
                           stream.subspan(at, std::min(chunk, stream.size() - at)), hooks);
        require(app.gps.line.length >= 0 && app.gps.line.length < kGpsMaxLineLength);
    }
    check_position(app);
    check_speed(app.run.speed_knots);
    check_heading(app.run.heading_degrees);
    return 0;
}
