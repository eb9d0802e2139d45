#include "ping/process_ping.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <mutex>

#include "ping/echo_conversion.h"
#include "platform/clock.h"
#include "platform/menu_ids.h"
#include "settings/menu_values.h"

namespace kelvanor {

namespace {

constexpr std::array<int32_t, 9> kExpectedIntervalMs = {66, 82, 121, 159, 198, 238, 278, 318, 358};

int32_t saturate_to_int32(float value) {
    if (!(value < 2147483648.0f)) return std::numeric_limits<int32_t>::max();
    if (!(value > -2147483648.0f)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t add_saturating(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// SSTrain of a played record's side (command byte 7 form: 1 port, 2 starboard, 3 both);
// the current one for a side it does not name.
ChannelSelection train_for_file_side(int32_t side, ChannelSelection current_train) {
    switch (side) {
        case 1:
            return ChannelSelection::Port;
        case 2:
            return ChannelSelection::Starboard;
        case 3:
            return ChannelSelection::Both;
        default:
            return current_train;
    }
}

HistoryEntry current_history_entry(const PingContext& app) {
    const HeadState& head = app.head;
    HistoryEntry entry;
    static_assert(sizeof entry.date_time_text == sizeof head.date_time_text);
    std::memcpy(entry.date_time_text.data(), head.date_time_text.data(),
                entry.date_time_text.size());
    entry.date_time_text.back() = '\0';
    {
        // The GPS thread rewrites the position text; take it whole.
        std::lock_guard position_lock(head.position_text_lock);
        static_assert(sizeof entry.position_text == sizeof head.position_text);
        std::memcpy(entry.position_text.data(), head.position_text.data(),
                    entry.position_text.size());
    }
    std::memcpy(entry.reply_header.data(), head.head_reply.data(), entry.reply_header.size());
    entry.speed_knots = app.run.speed_knots;
    entry.heading_degrees = app.run.heading_degrees;
    return entry;
}

// Where the ping in flight came from, and, for a ping in no file, its altitude from the
// echoes on each side where the reply has no bottom value (the same reading the track of a
// file gives it).
ColumnSource current_column_source(const PingContext& app, int32_t ping_interval_ms) {
    ColumnSource source;
    source.record_offset = app.ping.record_offset;
    // A ping in a file is placed from the file's own track; a reply with a bottom value keeps
    // it in the record.
    if (source.record_offset >= 0) return source;
    const uint8_t* reply = app.head.head_reply.data();
    if (reply[9] * 128 + (reply[8] & 0x7F) != 0) return source;
    if (app.ping.echo_altitudes != nullptr) {
        source.altitude_metres = app.ping.echo_altitudes(app, ping_interval_ms);
    }
    return source;
}

// Step 6: the read-out of the time, unless the pointer is over the image (then the column
// under it is shown once this ping's columns are drawn). The time is the ping's own stamp
// in both modes: the second at which a live ping arrived, or the played record's.
void show_time(const PingContext& app, PingHooks& hooks) {
    PingState& ping = app.ping;
    if (ping.history_view == 0 && app.head.time_seconds != ping.seen.time_seconds) {
        ping.seen.time_seconds = app.head.time_seconds.load();
        hooks.show_date_time(std::string_view(
            app.head.date_time_text.data(),
            strnlen(app.head.date_time_text.data(), app.head.date_time_text.size())));
    }
}

// While the pointer is over the image: the read-outs of the column under it, picked after
// this ping's columns were stored and drawn, so that they name the column the screen shows
// there now, as the pointer's own read-out does, however many columns the ping drew.
void show_history_under_pointer(const PingContext& app, PingHooks& hooks) {
    PingState& ping = app.ping;
    if (ping.history_view != 1) return;
    HistoryEntry entry;
    {
        const ImageLock held = lock_image(app.waterfall);
        const int32_t x = ping.history_column_offset + 1;
        entry = read_history_record(ping.column_history,
                                    history_slot_for_column(ping.column_history.history_index, x));
    }
    hooks.show_history_record(entry, ping.history_row);
}

// Step 7: HEAD mode only.
void follow_head(const PingContext& app, PingHooks& hooks) {
    Settings& s = app.settings;
    PingState& ping = app.ping;
    if (ping.reply_type != ping.seen.reply_type) {
        ping.seen.reply_type = ping.reply_type.load();
        if (ping.reply_type == 0) {
            // A single-frequency head: low frequency only.
            s.Frequency = FrequencyBand::Low;
            hooks.check_menu_item(menu::kLow, true);
            hooks.check_menu_item(menu::kHigh, false);
            hooks.enable_menu_item(menu::kLow, false);
            hooks.enable_menu_item(menu::kHigh, false);
        } else {
            hooks.check_menu_item(menu::kLow, false);
            hooks.check_menu_item(menu::kHigh, false);
            hooks.check_menu_item(menu_item(s.Frequency.load()), true);
            hooks.enable_menu_item(menu::kLow, true);
            hooks.enable_menu_item(menu::kHigh, true);
        }
        hooks.redraw_frequency_readout();
        run_frequency_rule(app, hooks);
    }
    if (app.head.head_type_h_flag != ping.seen.head_type_h_flag) {
        ping.seen.head_type_h_flag = app.head.head_type_h_flag.load();
        run_frequency_rule(app, hooks);
    }
    if (app.run.recording) {
        if (!app.run.rec_pause) {
            hooks.write_ping_record();
            hooks.show_record_size();
        } else {
            ++ping.rec_pause_ping_count;
            // A count that reached the interval during a keyboard entry flashes at the
            // first ping after it.
            if (ping.rec_pause_ping_count >= rec_pause_flash_interval(app.head.range_metres) &&
                app.run.entry_kind == 0) {
                ping.rec_pause_ping_count = 0;
                hooks.flash_rec_pause();
            }
        }
    }
}

// Step 8: FILE mode only.
void follow_record(const PingContext& app, PingHooks& hooks, bool side_scan) {
    Settings& s = app.settings;
    PingTracking& seen = app.ping.seen;
    if (side_scan) {
        const int32_t range = app.ping.reply_range_metres;
        const int32_t byte4 = app.head.held_byte4;
        if (range != seen.range_metres || byte4 != seen.byte4) {
            seen.range_metres = range;
            seen.byte4 = byte4;
            apply_range_readout_state(app.settings, app.head, app.ping);
            hooks.redraw_range_readout();
            if (s.Grid) hooks.redraw_grid_label();
        }
        if (s.SSGain != seen.gain) {
            seen.gain = s.SSGain.load();
            hooks.redraw_gain_readout();
        }
    }
    if (seen.file_frequency.load() != s.file_frequency.load()) {
        seen.file_frequency = s.file_frequency.load();
        const bool low = s.file_frequency == FrequencyBand::Low;
        hooks.check_menu_item(menu::kLow, low);
        hooks.check_menu_item(menu::kHigh, !low);
        hooks.redraw_frequency_readout();
    }
    if (app.file_channel_balance != seen.file_channel_balance) {
        seen.file_channel_balance = app.file_channel_balance;
        hooks.redraw_balance_readout(
            apply_balance_readout_state(app.settings, app.head, app.file_channel_balance));
    }
}

// Step 9: side-scan pings only.
void draw_side_scan_ping(const PingContext& app, PingHooks& hooks, bool head_mode) {
    Settings& s = app.settings;
    PingState& ping = app.ping;
    if (ping.sample_format != ping.seen.sample_format) {
        ping.seen.sample_format = ping.sample_format.load();
        hooks.clear_line_history(app);
    }
    if (!head_mode && app.file_side != ping.seen.file_side) {
        ping.seen.file_side = app.file_side;
        s.SSTrain = train_for_file_side(app.file_side, s.SSTrain);
        hooks.redraw_channel_readout(apply_channel_readout_state(app.settings));
    }
    if (ping.seen.channel_code.load() != s.channel_code.load()) {
        ping.seen.channel_code = s.channel_code.load();
        hooks.clear_line_history(app);
    }
    if (ping.line_repeat >= 0) {
        ColumnRequest request;
        request.data_channel =
            head_mode ? static_cast<int32_t>(s.channel_code.load()) : app.file_side;
        request.samples_per_line = app.head.samples_per_line;
        request.line_span = app.head.line_span;
        request.line_repeat = ping.line_repeat;
        request.playback_restart = !head_mode && app.playback_restart != 0;
        request.mark_pending = ping.mark_pending == 1;
        const int moved = hooks.draw_ping(app, request);
        ping.columns_since_mark += moved;
        if (request.mark_pending && moved > 0) ping.mark_pending = 0;
    }
    if (app.run.target_length_mode && app.run.target_length_active) {
        hooks.redraw_length_overlay();
    }
    if (app.run.target_height_mode) hooks.redraw_height_overlay();
}

}  // namespace

void PingHooks::clear_line_history(const PingContext& app) {
    kelvanor::clear_line_history(app.waterfall);
}

int PingHooks::draw_ping(const PingContext& app, const ColumnRequest& request) {
    return kelvanor::draw_ping(app.waterfall, app.settings, request);
}

int32_t expected_interval_for_range(int32_t range_metres) {
    for (size_t i = 0; i < kRangeMetres.size(); ++i) {
        if (kRangeMetres[i] == range_metres) return kExpectedIntervalMs[i];
    }
    return kExpectedIntervalMs[4];
}

void update_expected_interval(PingState& ping, int32_t range_metres, int32_t ss_delay) {
    ping.expected_interval_ms = expected_interval_for_range(range_metres) + ss_delay;
    if (ping.expected_interval_ms + 100 < ping.ping_interval_ms) {
        ping.ping_interval_ms = ping.expected_interval_ms.load();
    }
    ping.ping_interval_text_value = ping.ping_interval_ms.load();
}

float lines_per_ping_for(int32_t ping_interval_ms, float speed_knots, int32_t range_metres,
                         ChannelCode channel_code) {
    float lines = static_cast<float>(ping_interval_ms) * 0.001f * speed_knots * 0.514444f * 500.0f;
    if (channel_code == ChannelCode::Starboard || channel_code == ChannelCode::Port) {
        lines = lines / static_cast<float>(range_metres);
    } else if (channel_code == ChannelCode::Both) {
        lines = lines / (static_cast<float>(range_metres) * 2.0f);
    }
    return lines;
}

void apply_speed_correction(PingState& ping, bool speed_correction, float speed_knots,
                            int32_t range_metres, ChannelCode channel_code) {
    float lines = 1.0f;
    if (speed_correction) {
        lines = lines_per_ping_for(ping.ping_interval_ms, speed_knots, range_metres, channel_code);
        // A speed no vessel makes (or a negative one) must neither stall the drawer with
        // thousands of columns nor push line_fraction out of 0..1 for good. NaN stays NaN
        // and then counts as one column.
        if (lines > kMaxLinesPerPing) lines = kMaxLinesPerPing;
        if (lines < 0.0f) lines = 0.0f;
    }
    ping.lines_per_ping = lines;
    if (lines > 1.0f) {
        const int32_t n = static_cast<int32_t>(lines);
        int32_t repeat = n - 1;
        ping.line_fraction += lines - static_cast<float>(n);
        if (ping.line_fraction >= 1.0f) {
            ping.line_fraction -= 1.0f;
            ++repeat;
        }
        ping.line_repeat = repeat;
    } else {
        ping.line_repeat = 0;
        if (lines < 1.0f) {
            ping.line_fraction += 1.0f - lines;
            if (ping.line_fraction >= 1.0f) {
                ping.line_fraction -= 1.0f;
                ping.line_repeat = -1;
            }
        }
    }
}

int32_t mark_interval_for(int32_t range_metres, float speed_knots) {
    float v = speed_knots * 1852.0f / 3600.0f;
    if (v == 0.0f) v = 1.0f;
    return saturate_to_int32(static_cast<float>(range_metres) / v * 1000.0f * 0.2f + 0.5f);
}

void advance_along_track_marks(PingState& ping, int32_t range_metres, float speed_knots) {
    ping.mark_time_ms = add_saturating(ping.mark_time_ms, ping.ping_interval_ms);
    ping.mark_interval_ms = mark_interval_for(range_metres, speed_knots);
    if (ping.mark_interval_ms <= ping.mark_time_ms) {
        ping.mark_time_ms = 0;
        ping.mark_pending = 1;
        ping.columns_per_mark = ping.columns_since_mark.load();
        ping.columns_since_mark = 0;
    }
}

int32_t rec_pause_flash_interval(int32_t range_metres) {
    if (range_metres <= 15) return 3;
    if (range_metres <= 60) return 2;
    return 1;
}

void run_frequency_rule(const PingContext& app, PingHooks& hooks) {
    if (!apply_frequency_range_limit(app.settings)) return;
    hooks.clear_line_history(app);
    if (app.settings.Grid) hooks.redraw_grid_label();
    apply_range_readout_state(app.settings, app.head, app.ping);
    hooks.redraw_range_readout();
}

void process_ping(const PingContext& app, PingHooks& hooks, Clock& clock) {
    PingState& ping = app.ping;
    bool accepted = false;
    {
        const uint64_t now_ms = clock.monotonic_ms();
        const ImageLock held = lock_image(app.waterfall);
        accepted = convert_ping(app, now_ms);
    }
    if (accepted) {
        // One copy of the settings this ping reads without changing them, so that they agree
        // with each other while the GUI thread changes them; the steps that change a setting
        // (the frequency rule, a played record's channel) work on the settings themselves.
        const Settings settings = consistent_copy(app.settings);
        const bool head_mode = settings.RunMode == RunMode::Head;
        const bool side_scan = app.head.head_reply[3] == kSideScanHeadId;
        const int32_t range_metres = app.head.range_metres;
        const float speed_knots = app.run.speed_knots;

        update_expected_interval(ping, range_metres, settings.SSDelay);
        apply_speed_correction(ping, settings.SpeedCorrection, speed_knots, range_metres,
                               settings.channel_code);
        advance_along_track_marks(ping, range_metres, speed_knots);
        if (app.run.diagnostics_shown) hooks.refresh_diagnostics();
        show_time(app, hooks);
        if (head_mode) {
            ping.record_offset = -1;  // set by the record writer when it stores this ping
            follow_head(app, hooks);
        } else {
            follow_record(app, hooks, side_scan);
        }
        if (side_scan) draw_side_scan_ping(app, hooks, head_mode);

        // Step 10: one history record per drawn column.
        if (ping.line_repeat >= 0) {
            if (side_scan) {
                const HistoryEntry entry = current_history_entry(app);
                const ColumnSource source = current_column_source(app, ping.ping_interval_ms);
                const ImageLock held = lock_image(app.waterfall);
                store_history_records(ping.column_history, entry, 1 + ping.line_repeat, source);
            }
            ping.line_repeat = 0;
        }
        show_history_under_pointer(app, hooks);

        if (!head_mode) {
            const int32_t pause_ms = std::clamp(100 - settings.PlotSpeed.load(), 0, 100);
            if (pause_ms > 0) clock.sleep_ms(pause_ms);
        }
    }
    hooks.update_ping_indicator(app.head.reply_valid == 1);
}

void process_head_reply(const PingContext& app, PingHooks& hooks, Clock& clock,
                        const uint8_t* reply, size_t size) {
    auto& buffer = app.head.head_reply;
    const size_t count = std::min(size, buffer.size());
    if (count > 0) std::memcpy(buffer.data(), reply, count);
    // A short reply must not borrow the terminator of an earlier one.
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(count), buffer.end(), uint8_t{0});
    app.head.reply_valid = 0;
    process_ping(app, hooks, clock);
}

}  // namespace kelvanor
