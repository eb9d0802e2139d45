#pragma once
// Run-time flags and values that several subsystems consult. None of them is saved.

#include <array>
#include <string>

#include "settings/settings.h"

namespace kelvanor {

struct RunState {
    Shared<RunMode> previous_run_mode = RunMode::Head;
    SharedBool hold = false;
    SharedBool recording = false;
    SharedBool rec_pause = false;
    SharedBool copying = false;
    SharedBool playback_file_open = false;
    SharedBool speed_from_gps = true;
    SharedFloat speed_knots = 3.0f;
    SharedFloat heading_degrees = 0.0f;
    SharedBool gps_enabled = false;
    SharedBool diagnostics_shown = false;
    SharedBool zoom_shown = false;
    SharedBool zoom_frozen = false;
    SharedBool target_length_mode = false;
    SharedBool target_height_mode = false;
    SharedBool target_length_active = false;
    SharedInt target_height_step = 0;

    // Keyboard numeric entry: kind 0 none, 1 range, 2 gain; at most three digits typed.
    SharedInt entry_kind = 0;
    SharedInt entry_count = 0;
    std::array<char, 5> entry_digits{};

    float cursor_step = 1.0f;
    SharedInt delay_loops_per_second = 0;
    int32_t screen_width = 0;
    int32_t screen_height = 0;

    // Full path of the INI file, formed at load and reused at save.
    std::string ini_path;
};

}  // namespace kelvanor
