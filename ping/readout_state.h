#pragma once
// The state halves of the panel's range, channel and balance read-outs. The panel's
// draw_range, draw_channel and draw_balance call these first and then draw; ping processing
// calls them directly and lets its hooks do only the drawing, so the state is right even
// where nothing is drawn (tests, the command-line tools).

#include <cstdint>

#include "ping/ping_state.h"
#include "settings/head_state.h"
#include "settings/settings.h"

namespace kelvanor {

// Range of an SSRange index, in metres. An index outside the table is held to its ends.
int32_t range_metres_for_index(int32_t ss_range);

// draw_range: range_metres and metres_per_sample (range / 500) from SSRange, and the
// previous-ping tracking value of ping processing reset (reset_previous_ping_tracking).
void apply_range_readout_state(const Settings& settings, HeadState& head, PingState& ping);

struct ChannelReadoutState {
    // SSTrain differs from the one of the last channel read-out.
    bool train_changed = false;
    // ... and the grid is on: the panel redraws the grid overlay for the new layout.
    bool redraw_grid = false;
};

// draw_channel: channel_code from SSTrain, and previous_ss_train brought up to date.
ChannelReadoutState apply_channel_readout_state(Settings& settings);

struct BalanceFactors {
    int32_t plus = 100;   // switch command byte 12
    int32_t minus = 100;  // switch command byte 11
};

// Balance factors of a ChannelBalance value (0..60, 30 = centre): 100 * 10^(+-dB / 20)
// rounded, with dB = (balance - 30) / 10, in single precision; a factor outside 71..141
// becomes 100.
BalanceFactors compute_balance_factors(int32_t channel_balance);

// What the balance read-out shows, "%3.1f/%3.1f": port and starboard balance in dB.
struct BalanceReadout {
    float port_db = 0.0f;
    float stbd_db = 0.0f;
};

// draw_balance: in HEAD mode the balance factors from ChannelBalance; the shown values from
// file_channel_balance (the last played record's) in FILE mode, ChannelBalance in HEAD mode.
BalanceReadout apply_balance_readout_state(const Settings& settings, HeadState& head,
                                           int32_t file_channel_balance);

}  // namespace kelvanor
