#pragma once
// The program without its windows: the run-mode switch, the menu commands, the file
// activities (recording, playback, copying) and the close sequence, driving the core through
// its entry points. The Qt window forwards its commands and timers here; tests drive it
// directly with a fake UiServices and a memory surface.
//
// In HEAD mode the acquisition thread runs ping processing through this object's PingHooks;
// everything else runs on the GUI thread. Ping processing draws nothing on the panel: its
// read-outs and marks go into the panel feed, and refresh() draws them on the GUI thread.

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "control/dialog_values.h"
#include "datafile/ping_record.h"
#include "datafile/playback.h"
#include "datafile/record_source.h"
#include "datafile/record_writer.h"
#include "gps/nmea_parser.h"
#include "headlink/acquisition.h"
#include "panel/keyboard_entry.h"
#include "panel/panel_feed.h"
#include "panel/panel_hooks.h"
#include "panel/panel_ping_hooks.h"
#include "ping/process_ping.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/ui_services.h"
#include "settings/head_state.h"
#include "waterfall/zoom.h"

namespace kelvanor {

// The head port and the GPS port with their reader threads. The program only asks them to
// start and stop; stop always joins the thread before the port closes, and a second stop
// does nothing.
class Devices {
  public:
    virtual ~Devices() = default;
    virtual void start_head_port() {}
    virtual void stop_head_port() {}
    virtual void start_gps() {}
    virtual void stop_gps() {}
};

// What a pointer move did, for the window to show.
struct PointerOutcome {
    bool to_auto_repeat = false;     // the move went to the arrow buttons' auto-repeat
    bool auto_repeat_ended = false;  // ... which it ended: stop the repeat timer
    bool over_image = false;         // the pointer is over the waterfall (cross-hair cursor)
    std::optional<ZoomView> zoom;    // the Zoom x3 picture to show
    bool image_changed = false;      // a measurement overlay moved: refresh the image
};

// What a left press did, for the window to show.
struct PressOutcome {
    bool taken = false;            // false while an auto-repeat runs: the press is ignored
    std::optional<ZoomView> zoom;  // the Zoom x3 picture to show
    bool image_changed = false;    // a measurement overlay changed: refresh the image
    int32_t repeat_timer_ms = 0;   // above 0: an auto-repeat began; start its timer
};

// One period of the arrow buttons' auto-repeat.
struct RepeatTickOutcome {
    bool ran = false;              // false: no auto-repeat was running
    bool running = false;          // false: the repeat ended; stop its timer
    int32_t restart_timer_ms = 0;  // above 0: restart the timer with this period
};

// What a tool window's menu item asks the window to do.
enum class ToolWindowStep { Show, Close };

// What the window shows besides its surface.
struct WindowHooks {
    std::function<void(bool)> show_slider;         // the playback position slider exists
    std::function<void(int32_t)> set_slider;       // moved by playback, without seeking
    std::function<void()> playback_state_changed;  // playback may start or stop advancing
    std::function<void()> image_changed;  // any thread: the waterfall or the panel wants a refresh
    std::function<void()> refresh_diagnostics;  // any thread: a ping for the Diagnostics window
};

inline constexpr const char* kTitlePrefix = "Kelvanor Marlinray";

class Program : public AcquisitionHooks, public PanelHooks {
  public:
    Program(AppState& app, UiServices& ui, Surface& surface, Clock& clock);
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void set_devices(Devices* devices) { devices_ = devices; }
    // Where the free space of a file system comes from (tests inject a full disk).
    void set_free_space(std::function<int64_t(const std::string&)> free_space) {
        free_space_ = std::move(free_space);
    }
    void set_window_hooks(WindowHooks hooks) { window_ = std::move(hooks); }
    // The panel font's cell, which the panel positions (its layout) depend on.
    void set_font(FontMetrics font);

    // The workers' and tests' way in (the head link and the GPS reader keep the state).
    AppState& app() { return app_; }
    // What the window reads to show (never to change).
    const AppState& state() const { return app_; }

    // Start-up, before the window shows: the settings file, the serial ports present and the
    // GPS source (problems named in `problems`), the busy wait's calibration, the screen.
    void load_settings();
    void set_up_ports(const std::vector<std::string>& port_options,
                      const std::filesystem::path& sysfs_tty_root,
                      std::vector<std::string>& problems, const std::string& gps_option);
    void set_delay_loops_per_second(int32_t loops) { app_.run.delay_loops_per_second = loops; }
    void set_screen_size(Size screen);
    // The run mode the first run-mode switch starts in (0 HEAD, 1 FILE), marked in the menu.
    void choose_run_mode(RunMode run_mode);
    // The demo's simulated head on COM1 (and GPS on COM2 when it has one), in HEAD mode from
    // the start.
    void use_demo_ports(bool with_gps);

    // Start-up: the image, the palette for Colors, a clear screen and line history.
    void create_image();
    // Paints the whole panel (and the image) into the surface and asks for a repaint.
    void repaint_panel();
    // Moves to the run mode in RunMode through the closed state (the caller sets RunMode).
    void run_mode_switch();
    // One menu command by id; ids the program does not know are ignored.
    void command(int id);

    // The settings dialogs: the values each opens with, and applying what it hands back.
    bool head_mode() const { return app_.settings.RunMode == RunMode::Head; }
    // The screen's size as found at start-up (zero when unknown), where dialogs are kept on.
    Size screen_size() const { return {app_.run.screen_width, app_.run.screen_height}; }
    ManualSpeedValues manual_speed_values() const;
    // After the dialog, whatever its outcome: the chosen speed, a heading of 0, and the speed
    // and heading read-outs drawn again.
    void apply_manual_speed(const std::optional<ManualSpeedValues>& chosen);
    ChannelBalanceValues channel_balance_values() const;
    // The balance set and shown at once (the dialog's Default, while it stays open).
    void set_channel_balance(const ChannelBalanceValues& values);
    // After the dialog: the balance Ok chose, and the read-out drawn again in any case.
    void apply_channel_balance(const std::optional<ChannelBalanceValues>& chosen);
    ComPortValues com_port_values() const;
    // Restarts the head link (and the GPS reader) on the chosen ports; without a GPS the
    // position read-out shows no position.
    void apply_com_ports(const ComPortValues& chosen);

    // Window input, in client coordinates (GUI thread). While an auto-repeat of an arrow
    // button runs, input goes to it and nothing else is processed.
    bool auto_repeat_running() const { return app_.panel.repeat.button != PanelButton::None; }
    PointerOutcome pointer_moved(Point p);
    PressOutcome left_pressed(Point p);
    // True when an auto-repeat ended.
    bool left_released(Point p);
    // True when a measurement overlay changed and the image wants a refresh.
    bool right_pressed(Point p);
    RepeatTickOutcome repeat_tick();
    void key_char(int character);
    // An arrow key: where the pointer moves to (client pixels), if anywhere.
    std::optional<Point> key_pressed(NavigationKey key, Point pointer);
    void key_released();
    // The window lost the pointer or the keyboard: an auto-repeat ends (true when one ran)
    // and the waterfall read-outs are left.
    bool input_lost();
    // The pointer is no longer over the waterfall.
    void pointer_left_window();
    // Save Screen: the read-outs as the capture shows them.
    void show_capture_readout();
    // The last pointer position the panel saw.
    Point pointer() const { return {app_.panel.mouse_x.load(), app_.panel.mouse_y.load()}; }
    // The Zoom x3 picture to show now, when the Zoom x3 window is shown.
    std::optional<ZoomView> zoom_to_show() const;
    // Diagnostics and Zoom x3: their menu item, and their window closed by its close box.
    ToolWindowStep toggle_tool_window(int id);
    void tool_window_closed(int id);

    // Data files.
    void open_playback_file();
    void close_playback_file();
    void start_recording();
    void stop_recording();
    void start_copy();
    void stop_copy();
    bool disk_space_ok() const;

    // Playback: one record per idle turn while playback_ready(), then a pause of
    // playback_pause_ms() before the next.
    bool playback_ready() const;
    int playback_pause_ms() const;
    void playback_step();
    // The slider was moved by the user to 0..100.
    void seek_playback(int32_t percent);

    // HEAD mode: one complete head reply, as the acquisition thread hands it over.
    void process_head_reply(const uint8_t* reply, size_t size);

    // Closing: worker threads and ports, then the files, then the settings, then the screen.
    void close_handling();

    // At a window refresh (GUI thread): draws what ping processing published for the panel
    // since the last refresh, then copies the waterfall when it changed. True when either
    // drew.
    bool refresh();
    // The GPS reader's read-out hooks: they publish into the panel feed, drawn at the next
    // refresh.
    GpsReadoutHooks gps_readout_hooks();

    // The two halves of refresh(), each true when it drew. refresh_panel() appends the areas
    // it drew to `drawn` when given: the window copies those alone to the screen.
    bool refresh_panel(std::vector<Rect>* drawn = nullptr);
    bool refresh_image();

    // Bytes written to the record file since Record Start; failed record writes.
    int64_t record_bytes() const;
    int64_t record_failures() const;
    // Records written since the start of the program, over every recording.
    int64_t records_written() const { return records_written_; }

    // PanelHooks: what the panel's buttons and keys ask for.
    void select_data_source(RunMode run_mode) override;
    void toggle_rec_pause() override;
    void start_gps_port() { devices_->start_gps(); }
    void stop_gps_port() { devices_->stop_gps(); }
    void start_head() { devices_->start_head_port(); }
    void stop_head() { devices_->stop_head_port(); }
    void draw_rec_pause() override { draw_rec_pause_box(true); }

    // PingHooks: what ping processing shows and records. The read-outs are the panel's.
    void redraw_range_readout() override { panel_.redraw_range_readout(); }
    void redraw_grid_label() override { panel_.redraw_grid_label(); }
    void redraw_gain_readout() override { panel_.redraw_gain_readout(); }
    void redraw_frequency_readout() override { panel_.redraw_frequency_readout(); }
    void redraw_channel_readout(const ChannelReadoutState& state) override {
        panel_.redraw_channel_readout(state);
    }
    void redraw_balance_readout(const BalanceReadout& readout) override {
        panel_.redraw_balance_readout(readout);
    }
    void show_date_time(std::string_view text) override { panel_.show_date_time(text); }
    void show_history_record(const HistoryEntry& entry, int32_t row) override {
        panel_.show_history_record(entry, row);
    }
    void check_menu_item(int id, bool checked) override { ui_.check_menu_item(id, checked); }
    void enable_menu_item(int id, bool enabled) override { ui_.enable_menu_item(id, enabled); }
    void refresh_diagnostics() override;
    void update_ping_indicator(bool reply_valid) override;
    void show_no_data_notice(std::string_view text) override;
    void erase_no_data_notice() override;
    void write_ping_record() override;
    void show_record_size() override;
    void flash_rec_pause() override;
    void clear_line_history(const PingContext& app) override;
    int draw_ping(const PingContext& app, const ColumnRequest& request) override;

    // The recording being made and the file being played (empty before the first).
    const std::string& record_path() const { return record_path_; }
    const std::string& playback_path() const { return playback_path_; }

  private:
    void set_title(const std::string& suffix);
    void draw_rec_pause_box(bool show);
    void clear_screen_and_history();
    void notify_playback_state();
    bool check_extension(const std::string& path, const char* caption);
    // Ends the recording after a fault the operator must hear of: a warning, then Record Stop.
    void stop_recording_after(const std::string& text, const char* caption);
    // on_ping: the acquisition thread closes it after a failed write; the REC Pause box is
    // erased at the next refresh instead of at once.
    void close_record_file(bool on_ping = false);
    // After a publish into the panel feed: asks the window for a refresh.
    void panel_published();

    AppState& app_;
    UiServices& ui_;
    Surface& surface_;
    Clock& clock_;
    FontMetrics font_;
    PanelFeed feed_;
    PanelPingHooks panel_;
    Devices no_devices_;
    Devices* devices_ = &no_devices_;
    std::function<int64_t(const std::string&)> free_space_;
    WindowHooks window_;

    // Playback (GUI thread only).
    std::optional<PosixRecordFile> playback_file_;
    RecordBuffer buffer_{};
    std::string playback_path_;
    std::string playback_choice_;  // the last file chosen in the playback dialog

    // Recording and copying. The acquisition thread writes records while the GUI thread may
    // stop the recording: record_mutex_ serialises the two, so the file is never closed
    // under a write.
    mutable std::mutex record_mutex_;
    std::optional<RecordWriter> record_file_;
    std::string record_path_;
    int64_t record_bytes_ = 0;
    std::atomic<int64_t> records_written_{0};
    int32_t record_kb_shown_ = 0;
    int32_t disk_full_count_ = 0;
    int32_t rec_pause_flash_phase_ = 0;
    std::optional<HeadParameterSet> saved_head_;  // HEAD-mode values kept during FILE mode
    std::optional<RecordWriter> copy_file_;
    std::string copy_path_;
    int64_t copy_bytes_ = 0;
    int32_t copy_kb_shown_ = 0;
};

}  // namespace kelvanor
