#pragma once
// The whole shared state of the program: one plain struct per subsystem, held together so
// that the application (and every test) builds a fresh state in one line. It includes every
// subsystem's state, so it lives above them all: the folders below take the structs of their
// own subsystem (cmake/layers.txt).

#include <utility>
#include <vector>

#include "control/echo_altitudes.h"
#include "datafile/datafile_state.h"
#include "datafile/ping_record.h"
#include "datafile/playback.h"
#include "datafile/playback_context.h"
#include "datafile/render_file.h"
#include "gps/gps_state.h"
#include "headlink/diagnostics_view.h"
#include "headlink/head_link_context.h"
#include "headlink/head_link_state.h"
#include "headlink/switch_command.h"
#include "panel/panel_context.h"
#include "panel/panel_state.h"
#include "ping/echo_conversion.h"
#include "ping/ping_context.h"
#include "ping/ping_state.h"
#include "ping/process_ping.h"
#include "ping/readout_state.h"
#include "settings/head_state.h"
#include "settings/run_state.h"
#include "settings/settings.h"
#include "settings/settings_io.h"
#include "waterfall/contact_markers.h"
#include "waterfall/target_measurement.h"
#include "waterfall/target_state.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

struct AppState {
    AppState() { ping.echo_altitudes = &live_echo_altitudes; }

    Settings settings;
    RunState run;
    HeadState head;
    HeadLinkState link;
    DataFileState datafile;
    PingState ping;
    WaterfallState waterfall;
    TargetState target;
    PanelState panel;
    GpsState gps;
};

// The settings and the head parameters, for the callers that hold the whole state.
inline void load_settings(AppState& app) {
    load_settings(app.settings, app.run);
}
inline void load_settings_from(AppState& app, const std::string& path) {
    load_settings_from(app.settings, app.run, path);
}
inline bool save_settings(const AppState& app) {
    return save_settings(app.settings, app.run);
}
inline HeadParameterSet capture_head_parameters(const AppState& app) {
    return capture_head_parameters(app.settings, app.head, app.run);
}
inline void restore_head_parameters(AppState& app, const HeadParameterSet& saved) {
    restore_head_parameters(app.settings, app.head, app.run, saved);
}

// The switch command from the settings and the head state.
inline SwitchCommandParams switch_command_params(const AppState& app) {
    return switch_command_params(app.settings, app.head);
}
inline SwitchCommand prepare_switch_command(AppState& app) {
    return prepare_switch_command(app.settings, app.head);
}
inline bool send_switch_command(AppState& app, SerialPort* port, Clock& clock) {
    return send_switch_command(app.settings, app.head, port, clock);
}

// The stamp of the ping in flight, and the parts of the state a played record goes into.
inline RecordStamp record_stamp_from_state(const AppState& app, int32_t ping_interval_ms,
                                           int32_t previous_record_length) {
    return record_stamp_from_state(app.settings, app.head, app.run, ping_interval_ms,
                                   previous_record_length);
}
inline RecordContext record_context(AppState& app) {
    return {app.settings, app.run, app.head, app.ping, app.datafile};
}

// The contact markers over the waterfall.
inline void set_contact_markers(AppState& app, std::vector<ContactMarker> markers) {
    set_contact_markers(app.target, app.waterfall, std::move(markers));
}

// The target tools: what their mouse handlers change and what their overlays are drawn from.
inline TargetTools target_tools(AppState& app) {
    return {app.settings,
            app.run,
            app.head,
            app.target,
            app.waterfall,
            app.ping.columns_per_mark,
            app.ping.half_scale == 2};
}
inline TargetOverlays target_overlays(const AppState& app) {
    return {app.settings,
            app.run,
            app.head,
            app.target,
            app.waterfall,
            app.ping.column_history,
            app.ping.columns_per_mark};
}
inline bool target_right_click(AppState& app, Point p) {
    return target_right_click(target_tools(app), p);
}
inline bool target_left_click(AppState& app, Point p) {
    return target_left_click(target_tools(app), p);
}
inline bool target_pointer_move(AppState& app, Point p) {
    return target_pointer_move(target_tools(app), p);
}
inline void target_tool_changed(AppState& app) {
    target_tool_changed(target_tools(app));
}
inline void draw_target_overlays(const AppState& app, Surface& surface) {
    draw_target_overlays(target_overlays(app), surface);
}
inline void blit_image_with_overlays(const AppState& app, Surface& surface) {
    blit_image_with_overlays(target_overlays(app), surface);
}

// The parts of the state the panel works on.
inline PanelContext panel_context(AppState& app) {
    return {app.settings,
            app.run,
            app.head,
            app.ping,
            app.waterfall,
            app.panel,
            app.datafile.file_channel_balance};
}

// The parts of the state ping processing works on.
inline PingContext ping_context(AppState& app) {
    return {app.settings,
            app.run,
            app.head,
            app.ping,
            app.waterfall,
            app.datafile.file_side,
            app.datafile.file_channel_balance,
            app.datafile.playback_restart};
}
[[nodiscard]] inline bool convert_ping(AppState& app, uint64_t now_ms) {
    return convert_ping(ping_context(app), now_ms);
}
inline void process_ping(AppState& app, PingHooks& hooks, Clock& clock) {
    process_ping(ping_context(app), hooks, clock);
}
inline void process_head_reply(AppState& app, PingHooks& hooks, Clock& clock, const uint8_t* reply,
                               size_t size) {
    process_head_reply(ping_context(app), hooks, clock, reply, size);
}

// The parts of the state playback works on, and playback for the callers that hold the whole
// state.
inline PlaybackContext playback_context(AppState& app) {
    return {ping_context(app), app.datafile};
}
inline void apply_record(AppState& app, const RecordBuffer& buffer, const RecordLimits& limits) {
    apply_record(playback_context(app), buffer, limits);
}
inline bool start_playback(AppState& app, RecordSource& source) {
    return start_playback(playback_context(app), source);
}
inline PlaybackStep playback_step(AppState& app, RecordSource& source, RecordBuffer& buffer,
                                  const PlaybackHooks& hooks) {
    return playback_step(playback_context(app), source, buffer, hooks);
}
inline bool seek_playback(AppState& app, RecordSource& source, int32_t slider_position,
                          const PlaybackHooks& hooks) {
    return seek_playback(playback_context(app), source, slider_position, hooks);
}
inline std::optional<FileRenderResult> render_file(AppState& app, RecordSource& source,
                                                   const FileRenderOptions& options) {
    return render_file(playback_context(app), source, options);
}

// The parts of the state the head link works on, and what the Diagnostics window reads.
inline HeadLinkContext head_link_context(AppState& app) {
    return {ping_context(app), app.link};
}
inline DiagnosticsSources diagnostics_sources(const AppState& app) {
    return {app.settings, app.run,  app.head,
            app.ping,     app.link, app.gps.gps_running == 1 && app.gps.device_missing == 1};
}
inline DiagnosticsSnapshot take_diagnostics_snapshot(const AppState& app) {
    return take_diagnostics_snapshot(diagnostics_sources(app));
}
inline void publish_reply_copy(AppState& app) {
    publish_reply_copy(app.head, app.link);
}

// The state halves of the range, channel and balance read-outs.
inline void apply_range_readout_state(AppState& app) {
    apply_range_readout_state(app.settings, app.head, app.ping);
}
inline ChannelReadoutState apply_channel_readout_state(AppState& app) {
    return apply_channel_readout_state(app.settings);
}
inline BalanceReadout apply_balance_readout_state(AppState& app) {
    return apply_balance_readout_state(app.settings, app.head, app.datafile.file_channel_balance);
}

// The parts of the state the GPS side works on.
inline GpsContext gps_context(AppState& app) {
    return {app.settings, app.run, app.head, app.gps};
}

}  // namespace kelvanor
