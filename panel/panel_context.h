#pragma once
// The parts of the program state the panel reads and changes: its own state, the settings and
// the run state, the head values it shows and sets (range, hold, the position text), the ping
// side's pointer history and the image whose grid a channel change moves. The program builds
// it from its whole state (panel_context in control/app_state.h), just before the call.

#include <cstdint>

#include "panel/panel_state.h"
#include "ping/ping_state.h"
#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

struct PanelContext {
    Settings& settings;
    RunState& run;
    HeadState& head;
    PingState& ping;
    WaterfallState& waterfall;
    PanelState& panel;
    // The balance of the last played record, which the balance read-out shows in FILE mode;
    // the data-file subsystem above keeps it.
    const int32_t& file_channel_balance;
};

}  // namespace kelvanor
