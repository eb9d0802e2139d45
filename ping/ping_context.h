#pragma once
// The parts of the program state ping processing reads and changes: the settings, the run
// state, the head values, its own state and the waterfall, and the few values of the last
// played record that the data-file subsystem above keeps. The program builds it from its
// whole state (ping_context in control/app_state.h), just before the call; the references
// are read when the pipeline reads them, as the fields themselves would be.

#include <cstdint>

#include "ping/ping_state.h"
#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

struct PingContext {
    Settings& settings;
    RunState& run;
    HeadState& head;
    PingState& ping;
    WaterfallState& waterfall;
    // The last played record's side (command byte 7 form: 1 Port, 2 Stbd, 3 Both) and
    // balance, and whether playback has just started or wrapped (FILE mode).
    const int32_t& file_side;
    const int32_t& file_channel_balance;
    const int32_t& playback_restart;
};

}  // namespace kelvanor
