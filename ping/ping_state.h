#pragma once
// The state of ping processing: the echo levels of the current ping, the values taken out of
// the head reply, the ping rate, the speed-corrected column rhythm, the along-track marks,
// the per-column history and the "last seen" copies that make read-outs redraw only on a
// change.
//
// In HEAD mode the acquisition thread runs the pipeline while the GUI thread reads some of
// these values (and resets the tracking copies); in FILE mode the GUI thread does both. So
// every scalar another thread may touch is a Shared value. The echo levels themselves live
// beside the image in WaterfallState (stbd_samples, port_samples, single_samples), and like
// the column history here they are guarded by the waterfall image lock.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "settings/settings.h"
#include "waterfall/column_history.h"

namespace kelvanor {

struct PingContext;

// The altitude on the port and starboard side (metres; 0 for none) that the echoes of the
// ping in flight give, for a ping in no file whose reply has no bottom value. Reading it
// takes the record format and the geometry, which lie above ping/: the program state sets it
// (control/app_state.h).
using EchoAltitudeReader = std::array<float, 2> (*)(const PingContext& app,
                                                    int32_t ping_interval_ms);

// Level written at the bottom's sample index by the 4- and 16-bit conversions.
inline constexpr uint8_t kBottomMarkLevel = 106;

// A read-out copy that holds no value any ping carries, so that the next ping redraws.
inline constexpr int32_t kNothingShown = -1;
// What a newly opened playback file sets the last-shown range and gain to.
inline constexpr int32_t kFileOpenedShown = 1000;

// The "last seen" values of ping processing, all in one place. Each is compared with the
// current ping's value; on a difference the pipeline remembers the new value and acts.
//
//   value                    compared with         action on a change         mode
//   reply_type               reply byte 5          frequency menu + rule      HEAD
//   head_type_h_flag         reply status bit 0    frequency rule             HEAD
//   time_seconds             time_seconds          date/time read-out         FILE
//   range_metres, byte4      reply range, cmd b4   range read-out             FILE
//   gain                     SSGain of the record  gain read-out              FILE
//   file_frequency           file_frequency        frequency marks, read-out  FILE
//   file_channel_balance     file_channel_balance  balance read-out           FILE
//   sample_format            sample_format         clear line history         both, id 0x10
//   file_side                file_side             SSTrain, channel read-out  FILE, id 0x10
//   channel_code             channel_code          clear line history         both, id 0x10
//   conversion_side          file_side (8-bit)     clear the other side       FILE
//
// Who resets which (all start at 0, as at load):
//   - draw_range (apply_range_readout_state), sync_to_record and the end of a played file
//     reset the previous-ping tracking value: time_seconds only, to kNothingShown
//     (reset_previous_ping_tracking). After a jump or a wrap the next record's time is then
//     always shown, even when its seconds field happens to equal the last one shown.
//   - opening a playback file resets every FILE-mode copy (reset_tracking_for_new_file):
//     range, byte 4 and gain to kFileOpenedShown, the other read-out copies to
//     kNothingShown, and sample_format, file_side, channel_code and conversion_side to 0,
//     so the first record of the new file sets the channel and redraws every read-out.
//   - the run-mode switch sets reply_type to -1 (reset_reply_type_seen).
//   Nothing else resets them; in particular line_fraction and the ping-rate sum never are.
struct PingTracking {
    SharedInt reply_type = 0;
    SharedInt head_type_h_flag = 0;
    SharedInt time_seconds = 0;
    SharedInt range_metres = 0;
    SharedInt byte4 = 0;
    SharedInt gain = 0;
    Shared<std::optional<FrequencyBand>> file_frequency;
    SharedInt file_channel_balance = 0;
    SharedInt sample_format = 0;
    SharedInt file_side = 0;
    Shared<std::optional<ChannelCode>> channel_code;
    SharedInt conversion_side = 0;
};

struct PingState {
    // Values taken out of the last accepted reply.
    SharedInt sample_format = 8;    // bits per sample: 8 live; 4, 8 or 16 played
    SharedInt conversion_mode = 0;  // 0 live; played: 1 untouched, 2 scaled and bottom-marked
    SharedInt bottom_value = 0;     // hundredths of a metre
    SharedInt bottom_index = 0;     // sample index of the bottom; may lie beyond the buffer
    SharedInt half_scale = 0;       // nothing in this program turns half scale on
    SharedInt reply_range_metres = 0;
    SharedInt reply_type = 0;  // 0 single, 1 dual frequency

    // Ping rate: average of ten intervals between accepted live pings.
    SharedInt ping_interval_ms = 0;
    SharedInt ping_interval_text_value = 0;  // the number ping_interval_text() shows
    int64_t ping_rate_sum_ms = 0;
    int32_t ping_rate_count = 0;
    uint64_t previous_ping_ms = 0;
    bool has_previous_ping = false;

    // Speed correction: how many image columns this ping becomes.
    SharedInt expected_interval_ms = 0;
    SharedFloat lines_per_ping = 1.0f;
    float line_fraction = 0.0f;  // never reset: the column rhythm runs on across changes
    SharedInt line_repeat = 0;   // -1 no column, 0 one column, k one plus k columns

    // Along-track marks.
    int32_t mark_time_ms = 0;
    SharedInt mark_interval_ms = 0;
    SharedInt mark_pending = 0;
    SharedInt columns_since_mark = 0;  // counted by the column drawer
    SharedInt columns_per_mark = 0;

    // One record per drawn column, and which of them the panel shows while the pointer is
    // over the waterfall (set by the cursor read-out on the GUI thread).
    ColumnHistory column_history;
    SharedInt history_view = 0;
    SharedInt history_column_offset = 0;  // screen column under the pointer, minus 1
    SharedInt history_row = 0;
    // Byte offset of the ping in flight in the file it is played from or recorded to; -1
    // when it is in no file. Written and read by the thread that runs ping processing.
    int64_t record_offset = -1;
    EchoAltitudeReader echo_altitudes = nullptr;

    // Pings seen while REC Pause is on, for the flash of the REC Pause label.
    SharedInt rec_pause_ping_count = 0;

    PingTracking seen;
};

// Decimal text of the ping interval, as the Diagnostics window shows it ("PRF").
std::array<char, 12> ping_interval_text(const PingState& ping);

// The previous-ping tracking value (see PingTracking): reset by the range read-out, by
// sync_to_record and at the end of a played file.
void reset_previous_ping_tracking(PingState& ping);

// Every FILE-mode copy, for a newly opened playback file.
void reset_tracking_for_new_file(PingState& ping);

// The run-mode switch: the next reply counts as a change of head type.
void reset_reply_type_seen(PingState& ping);

}  // namespace kelvanor
