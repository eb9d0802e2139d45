#pragma once
// Ping processing: one live head reply or one played record becomes its effects — the
// expected and measured ping interval, the speed-corrected number of image columns, the
// along-track marks, the read-outs that follow the ping, the recorded ping, the columns in
// the waterfall, the target overlays, the column history and the ping indicator.
//
// Everything the pipeline shows or records goes out through PingHooks; the state behind the
// read-outs is set here (ping/readout_state.h) before the hook draws it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ping/ping_context.h"
#include "ping/readout_state.h"
#include "waterfall/column_history.h"
#include "waterfall/image.h"

namespace kelvanor {

class Clock;

// What the pipeline calls outward. Every method has a default: the read-out, menu,
// overlay, recording and indicator calls do nothing, the two waterfall calls run the core
// drawer. The application overrides what its windows need. None of them is called with
// the image lock held, except where said.
class PingHooks {
  public:
    virtual ~PingHooks() = default;

    // The Diagnostics window is shown and a ping was accepted.
    virtual void refresh_diagnostics() {}

    // Read-outs. The state half has already run; these only show (the program publishes them
    // for the window's refresh, which draws them on the GUI thread).
    virtual void redraw_range_readout() {}
    virtual void redraw_grid_label() {}
    virtual void redraw_gain_readout() {}
    virtual void redraw_frequency_readout() {}
    virtual void redraw_channel_readout(const ChannelReadoutState& /*state*/) {}
    virtual void redraw_balance_readout(const BalanceReadout& /*readout*/) {}
    // FILE mode: the time of the played ping changed.
    virtual void show_date_time(std::string_view /*date_time_text*/) {}
    // While the pointer is over the waterfall: the read-outs show the record of the column
    // under it (row: the pointer's image row, for the cursor range).
    virtual void show_history_record(const HistoryEntry& /*entry*/, int32_t /*row*/) {}

    // Menu marks and greying (the Low and High frequency items).
    virtual void check_menu_item(int /*id*/, bool /*checked*/) {}
    virtual void enable_menu_item(int /*id*/, bool /*enabled*/) {}

    // The waterfall. Each takes the image lock itself.
    virtual void clear_line_history(const PingContext& app);
    // Returns the number of columns the image moved.
    virtual int draw_ping(const PingContext& app, const ColumnRequest& request);

    // Target measurement overlays at the last mouse position (each takes its own locks).
    virtual void redraw_length_overlay() {}
    virtual void redraw_height_overlay() {}

    // Recording (HEAD mode while recording): one record, then the title with the size.
    virtual void write_ping_record() {}
    virtual void show_record_size() {}
    // REC Pause is on: flash its label once.
    virtual void flash_rec_pause() {}

    // The blinking ping indicator, after every ping, accepted or not.
    virtual void update_ping_indicator(bool /*reply_valid*/) {}
};

// The whole pipeline for the reply in head_reply. In FILE mode it ends with the pause of
// 100 - PlotSpeed milliseconds through the clock.
void process_ping(const PingContext& app, PingHooks& hooks, Clock& clock);

// HEAD mode as the acquisition thread feeds it: the `size` bytes of a complete head reply
// (at most the reply buffer; bytes beyond the reply length are ignored) replace head_reply,
// reply_valid starts cleared as after a switch command, and the pipeline runs.
void process_head_reply(const PingContext& app, PingHooks& hooks, Clock& clock,
                        const uint8_t* reply, size_t size);

// The frequency rule with what follows it: when it acts (HEAD mode), the line history is
// cleared, the grid label redrawn when the grid is on, and the range read-out set and
// redrawn.
void run_frequency_rule(const PingContext& app, PingHooks& hooks);

// Steps of the pipeline, on their own for tests and tools.

// Expected ping interval in ms of a range (the 120 m value for a range not in the table).
int32_t expected_interval_for_range(int32_t range_metres);
// expected_interval_ms = table value + SSDelay; a measured interval more than 100 ms above
// it is replaced by it.
void update_expected_interval(PingState& ping, int32_t range_metres, int32_t ss_delay);

// Metres moved during one ping times 500, per metre of range shown (single precision).
float lines_per_ping_for(int32_t ping_interval_ms, float speed_knots, int32_t range_metres,
                         ChannelCode channel_code);
// The most columns one ping can become: a full image width.
inline constexpr float kMaxLinesPerPing = 783.0f;
// Sets lines_per_ping, line_repeat and line_fraction for this ping.
void apply_speed_correction(PingState& ping, bool speed_correction, float speed_knots,
                            int32_t range_metres, ChannelCode channel_code);

// Ping time in ms to travel a fifth of the range (speed 0 counts as 1 m/s).
int32_t mark_interval_for(int32_t range_metres, float speed_knots);
// Adds this ping's interval to the mark time and raises mark_pending when a mark is due.
void advance_along_track_marks(PingState& ping, int32_t range_metres, float speed_knots);

// Pings between two flashes of the REC Pause label at a range.
int32_t rec_pause_flash_interval(int32_t range_metres);

}  // namespace kelvanor
