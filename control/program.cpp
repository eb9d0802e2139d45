#include "control/program.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "control/file_names.h"
#include "control/panel_gps_hooks.h"
#include "control/run_mode_menus.h"
#include "headlink/diagnostics_view.h"
#include "headlink/link_indicators.h"
#include "panel/keyboard_entry.h"
#include "panel/panel_colours.h"
#include "panel/panel_paint.h"
#include "panel/readouts.h"
#include "panel/rec_pause.h"
#include "platform/area_recording_surface.h"
#include "platform/menu_ids.h"
#include "settings/menu_values.h"
#include "settings/settings_io.h"
#include "waterfall/grid.h"
#include "waterfall/image.h"
#include "waterfall/palette.h"
#include "waterfall/target_measurement.h"

namespace kelvanor {

namespace {

constexpr const char* kPlaybackDialogTitle = "Open a Marlinray File For Playback";
constexpr const char* kRecordDialogTitle = "Open a Marlinray File For Recording";
constexpr const char* kCopyDialogTitle = "Open a Marlinray File For Copying";
constexpr const char* kDiskCaption = "CheckAvailableDiskSpace";

// The text for a free-space answer that is an error (a negated errno), naming what failed:
// a folder that cannot be asked is not a full disk, and the operator must look elsewhere.
std::string free_space_error_text(int64_t free_bytes) {
    return "The free space of the record folder cannot be checked:\n" +
           std::string(std::strerror(static_cast<int>(-free_bytes)));
}

FileDialogSpec data_file_dialog(const char* title, bool save) {
    FileDialogSpec dialog;
    dialog.title = title;
    dialog.filter_name = "Marlinray Files";
    dialog.patterns = {"*.VKD", "*.vkd"};
    dialog.default_extension = "VKD";
    dialog.prompt_overwrite = save;
    dialog.must_exist = !save;
    return dialog;
}

// A clock whose pause does nothing: in FILE mode the window's playback timer makes the pause
// between records, so that the GUI thread never sleeps.
class NoPauseClock final : public Clock {
  public:
    explicit NoPauseClock(Clock& inner) : inner_(inner) {}
    std::time_t calendar_seconds() override { return inner_.calendar_seconds(); }
    std::tm local_time(std::time_t seconds) override { return inner_.local_time(seconds); }
    uint64_t monotonic_ms() override { return inner_.monotonic_ms(); }
    void sleep_ms(int) override {}

  private:
    Clock& inner_;
};

// True when both paths name the same file on disk.
bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

Program::Program(AppState& app, UiServices& ui, Surface& surface, Clock& clock)
    : app_(app),
      ui_(ui),
      surface_(surface),
      clock_(clock),
      panel_(app.settings, app.waterfall, feed_, [this] { panel_published(); }),
      free_space_(free_bytes_at) {}

Program::~Program() = default;

void Program::set_title(const std::string& suffix) {
    ui_.set_window_title(suffix.empty() ? std::string(kTitlePrefix)
                                        : std::string(kTitlePrefix) + " - " + suffix);
}

void Program::notify_playback_state() {
    if (window_.playback_state_changed) window_.playback_state_changed();
}

void Program::create_image() {
    build_palette(app_.waterfall, app_.settings.Colors);
    {
        std::lock_guard lock(surface_.mutex());
        surface_.set_palette(surface_palette_with_white(make_palette(app_.settings.Colors)));
        surface_.fill_rect({0, 0, surface_.size().width, surface_.size().height},
                           kPalettePanelBackground);
    }
    clear_screen_and_history();
    refresh_image();
}

void Program::repaint_panel() {
    paint_panel(panel_context(app_), surface_, &ui_, *this);
    ui_.request_repaint();
}

void Program::select_data_source(RunMode run_mode) {
    command(run_mode == RunMode::Head ? menu::kHead : menu::kFile);
}

void Program::clear_screen_and_history() {
    kelvanor::clear_line_history(app_.waterfall);
    clear_screen(app_.waterfall, app_.settings,
                 std::as_writable_bytes(std::span(app_.ping.column_history.records)));
    if (window_.image_changed) window_.image_changed();
}

void Program::panel_published() {
    if (window_.image_changed) window_.image_changed();
}

GpsReadoutHooks Program::gps_readout_hooks() {
    return panel_gps_hooks(app_, feed_, [this] { panel_published(); });
}

bool Program::refresh() {
    const bool panel = refresh_panel();
    const bool image = refresh_image();
    return panel || image;
}

bool Program::refresh_panel(std::vector<Rect>* drawn) {
    const PanelSnapshot snapshot = feed_.take();
    if (snapshot.changed == 0) return false;
    std::vector<Rect> unused;
    AreaRecordingSurface surface(surface_, drawn != nullptr ? *drawn : unused);
    const SurfaceLock held = lock_surface(surface_);
    paint_published_readouts(panel_context(app_), surface, held, snapshot, [&](PanelReadout mark) {
        switch (mark) {
            case kNoDataNotice:
                if (snapshot.no_data_shown) {
                    draw_no_data_notice(surface, font_, snapshot.no_data_text.data(),
                                        kPaletteWhite);
                } else {
                    kelvanor::erase_no_data_notice(surface, font_);
                }
                break;
            case kPingIndicator:
                paint_ping_indicator(surface, font_, snapshot.ping_star, kPaletteWhite);
                break;
            case kRecPauseFlash:
                // What the GUI thread did to the REC Pause box since holds over an older flash.
                if (app_.run.recording && app_.run.rec_pause) {
                    paint_rec_pause_label(surface, snapshot.rec_pause_flash_phase);
                }
                break;
            case kRecPauseBoxErase:
                if (!app_.run.recording) {
                    erase_rec_pause_box(surface);
                }
                break;
            default:
                break;
        }
    });
    return true;
}

bool Program::refresh_image() {
    if (!take_image_changed(app_.waterfall)) return false;
    {
        // A palette change marks the image changed too: take the palette with it.
        std::lock_guard lock(surface_.mutex());
        surface_.set_palette(surface_palette_with_white(make_palette(app_.settings.Colors)));
    }
    blit_image_with_overlays(app_, surface_);
    return true;
}

// ---------------------------------------------------------------------------------------
// Run-mode switch

void Program::run_mode_switch() {
    Settings& s = app_.settings;
    RunState& run = app_.run;
    reset_reply_type_seen(app_.ping);
    cancel_entry(panel_context(app_), surface_, &ui_);

    if (run.recording) stop_recording();
    if (run.copying) stop_copy();
    close_playback_file();
    devices_->stop_head_port();
    if (run.gps_enabled) devices_->stop_gps();
    // What the stopped readers published is drawn now, as they would have drawn it before
    // they stopped: nothing of the old mode is left to come after the new mode's read-outs.
    std::vector<Rect> drawn;
    refresh_panel(&drawn);
    for (const Rect& area : drawn) ui_.request_repaint(area);

    {
        std::lock_guard lock(app_.head.position_text_lock);
        app_.head.position_text.fill(0);
    }
    {
        auto held = lock_image(app_.waterfall);
        clear_column_history(app_.ping.column_history);
    }
    // Back to HEAD mode: the head's own values return before the frequency rule runs, which
    // would otherwise take the played file's range for the HEAD-mode one.
    if (s.RunMode == RunMode::Head && saved_head_) {
        restore_head_parameters(app_, *saved_head_);
        saved_head_.reset();
        s.SSRange = s.saved_ss_range.load();
        s.SSGain = s.saved_ss_gain.load();
    }
    if (apply_frequency_range_limit(s)) kelvanor::clear_line_history(app_.waterfall);

    // The date and time box shows the stamps of the new mode's own pings from its first
    // ping on: the other mode's time never stays in it.
    app_.head.date_time_text.fill(0);
    reset_previous_ping_tracking(app_.ping);
    draw_date_time(panel_context(app_), surface_, &ui_, "");

    if (s.RunMode == RunMode::File) {
        app_.datafile.playback_restart = 1;
        if (app_.link.no_data_notice_shown == 1) {
            app_.link.no_data_notice_shown = 0;
            erase_no_data_notice();
            // The head port is stopped: drawn now, before the panel is painted for FILE mode.
            refresh_panel();
        }
        s.saved_ss_range = s.SSRange.load();
        s.saved_ss_gain = s.SSGain.load();
        saved_head_ = capture_head_parameters(app_);
        enable_run_mode_menus(ui_, true, run.speed_from_gps);
        if (!run.playback_file_open) set_title("[No File]");
    } else {
        app_.datafile.playback_restart = 0;
        apply_range_readout_state(app_);
        enable_run_mode_menus(ui_, false, run.speed_from_gps);
        set_title("");
        devices_->start_head_port();
        if (run.gps_enabled) devices_->start_gps();
    }

    if (s.RunMode != run.previous_run_mode) {
        run.previous_run_mode = s.RunMode.load();
        clear_screen_and_history();
        repaint_panel();
    } else {
        draw_range(panel_context(app_), surface_, &ui_);
        draw_grid_label(panel_context(app_), surface_, &ui_);
    }
    if (window_.show_slider) window_.show_slider(s.RunMode == RunMode::File);
    if (s.RunMode == RunMode::File) open_playback_file();
    notify_playback_state();
}

// ---------------------------------------------------------------------------------------
// Menu commands

void Program::command(int id) {
    Settings& s = app_.settings;
    RunState& run = app_.run;
    auto toggle = [this](SharedBool& flag, int item) {
        flag = !flag;
        ui_.check_menu_item(item, flag);
    };
    switch (id) {
        case menu::kHead:
            if (s.RunMode != RunMode::Head) {
                ui_.check_menu_item(menu::kHead, true);
                ui_.check_menu_item(menu::kFile, false);
                s.RunMode = RunMode::Head;
                run_mode_switch();
            }
            break;
        case menu::kFile:
            if (s.RunMode == RunMode::File) {
                open_playback_file();
            } else {
                devices_->stop_head_port();
                ui_.check_menu_item(menu::kHead, false);
                ui_.check_menu_item(menu::kFile, true);
                s.RunMode = RunMode::File;
                run_mode_switch();
            }
            break;
        case menu::kRecord:
            if (!run.recording) {
                start_recording();
            } else {
                stop_recording();
            }
            break;
        case menu::kPlayback:
            open_playback_file();
            break;
        case menu::kCopy:
            if (!run.copying) {
                start_copy();
            } else {
                stop_copy();
            }
            break;
        case menu::kColor:
        case menu::kGrey:
        case menu::kReverseGrey:
        case menu::kBrown:
            ui_.check_menu_item(menu_item(s.Colors), false);
            s.Colors = colour_table_of_item(id);
            ui_.check_menu_item(id, true);
            build_palette(app_.waterfall, s.Colors);
            break;
        case menu::kMeters:
        case menu::kFeet:
            ui_.check_menu_item(menu_item(s.Units), false);
            s.Units = id == menu::kFeet ? LengthUnit::Feet : LengthUnit::Metres;
            ui_.check_menu_item(id, true);
            redraw_range_readout();
            redraw_grid_label();
            break;
        case menu::kGrid:
            toggle(s.Grid, menu::kGrid);
            redraw_grid_label();
            draw_grid(app_.waterfall, app_.settings);
            break;
        case menu::kClearScreen:
            clear_screen_and_history();
            break;
        case menu::kSpeedFromGps:
            if (run.speed_from_gps) {
                run.speed_from_gps = false;
                ui_.check_menu_item(menu::kSpeedFromGps, false);
                ui_.enable_menu_item(menu::kManualSpeed, true);
                run.heading_degrees = 0.0f;
            } else if (!run.speed_from_gps) {
                run.speed_from_gps = true;
                ui_.check_menu_item(menu::kSpeedFromGps, true);
                ui_.enable_menu_item(menu::kManualSpeed, false);
            }
            break;
        case menu::kSpeedCorrection:
            toggle(s.SpeedCorrection, menu::kSpeedCorrection);
            break;
        case menu::kAlongTrackMarks:
            toggle(s.AlongTrackMarks, menu::kAlongTrackMarks);
            break;
        case menu::kTargetLength:
            run.target_height_mode = false;
            ui_.check_menu_item(menu::kTargetHeight, false);
            toggle(run.target_length_mode, menu::kTargetLength);
            target_tool_changed(app_);
            break;
        case menu::kTargetHeight:
            run.target_length_mode = false;
            ui_.check_menu_item(menu::kTargetLength, false);
            toggle(run.target_height_mode, menu::kTargetHeight);
            target_tool_changed(app_);
            break;
        case menu::kLow:
        case menu::kHigh:
            ui_.check_menu_item(menu_item(s.Frequency), false);
            s.Frequency = id == menu::kHigh ? FrequencyBand::High : FrequencyBand::Low;
            ui_.check_menu_item(id, true);
            redraw_frequency_readout();
            run_frequency_rule(ping_context(app_), *this);
            break;
        default:
            break;
    }
    // The read-outs a command published (Low, High) are drawn now, on this (the GUI) thread.
    std::vector<Rect> drawn;
    refresh_panel(&drawn);
    for (const Rect& area : drawn) ui_.request_repaint(area);
    if (window_.image_changed) window_.image_changed();
    notify_playback_state();
}

// ---------------------------------------------------------------------------------------
// Data files

bool Program::check_extension(const std::string& path, const char* caption) {
    if (has_extension(path, "vkd")) return true;
    ui_.message_box("File extension must be .VKD", caption, MessageKind::Warning);
    return false;
}

bool Program::disk_space_ok() const {
    // The file system that holds the record file, not the one of the current folder: a full
    // USB stick must stop the recording, whatever the working folder is.
    std::string where = record_path_;
    if (where.empty()) where = ".";
    return free_space_(where) >= kMinimumFreeBytes;
}

void Program::close_playback_file() {
    app_.run.playback_file_open = false;
    playback_file_.reset();
    notify_playback_state();
}

void Program::open_playback_file() {
    FileDialogSpec dialog = data_file_dialog(kPlaybackDialogTitle, false);
    dialog.initial_path = playback_choice_;
    const std::optional<std::string> chosen = ui_.open_file_dialog(dialog);
    if (!chosen) return;
    playback_choice_ = *chosen;
    if (!check_extension(*chosen, kPlaybackDialogTitle)) return;

    close_playback_file();
    std::string error;
    std::optional<PosixRecordFile> file = PosixRecordFile::open(*chosen, error);
    if (file && start_playback(app_, *file)) {
        playback_file_ = std::move(file);
        playback_path_ = *chosen;
        set_title("Playback of " + playback_path_);
        reset_tracking_for_new_file(app_.ping);
    } else {
        file.reset();
        app_.run.playback_file_open = false;
        ui_.message_box("Data type is incorrect --> check file format", kPlaybackDialogTitle,
                        MessageKind::Warning);
        set_title("[No File]");
    }
    clear_screen_and_history();
    notify_playback_state();
}

void Program::start_recording() {
    FileDialogSpec dialog = data_file_dialog(kRecordDialogTitle, true);
    const std::optional<std::string> chosen = ui_.save_file_dialog(dialog);
    if (!chosen) return;
    if (!check_extension(*chosen, kRecordDialogTitle)) return;
    const std::string path = with_lower_case_file_name(*chosen);
    const int64_t free_bytes = free_space_(path);
    if (free_bytes < 0) {
        ui_.message_box(free_space_error_text(free_bytes) + "\nData can NOT be recorded.",
                        kDiskCaption, MessageKind::Warning);
        return;
    }
    if (free_bytes < kMinimumFreeBytes) {
        ui_.message_box("Disk Drive is full.\nData can NOT be recorded.", kDiskCaption,
                        MessageKind::Warning);
        return;
    }
    std::string error;
    std::optional<RecordWriter> writer = RecordWriter::create(path, error);
    if (!writer) {
        app_.run.recording = false;
        return;
    }
    {
        std::lock_guard lock(record_mutex_);
        record_file_.emplace(std::move(*writer));
        record_path_ = path;
        record_bytes_ = 0;
        disk_full_count_ = 0;
        app_.run.rec_pause = false;
        app_.run.recording = true;
    }
    set_title("Recording to " + path);
    ui_.set_menu_label(menu::kRecord, "&Record Stop...");
    draw_rec_pause_box(true);
}

void Program::close_record_file(bool on_ping) {
    std::optional<RecordWriter> closing;
    {
        // Clearing the flag and closing under the writer's lock: a ping being written on the
        // acquisition thread finishes first, and no later one starts.
        std::lock_guard lock(record_mutex_);
        app_.run.recording = false;
        if (record_file_) closing.emplace(std::move(*record_file_));
        record_file_.reset();
    }
    // The last flush to storage may take a while on a slow card: outside the record lock, so
    // that the acquisition thread never waits for it.
    if (closing) closing->close();
    set_title("");
    ui_.set_menu_label(menu::kRecord, "&Record Start...");
    if (on_ping) {
        feed_.publish([](PanelSnapshot& snapshot) { snapshot.mark(kRecPauseBoxErase); });
        panel_published();
    } else {
        draw_rec_pause_box(false);
    }
}

void Program::stop_recording() {
    std::string path;
    {
        std::lock_guard lock(record_mutex_);
        path = record_path_;
    }
    // Stop means stop: the file is closed before the box waits for OK, not after.
    close_record_file();
    ui_.message_box(path, "Close Record File", MessageKind::Information);
}

void Program::stop_recording_after(const std::string& text, const char* caption) {
    std::string path;
    {
        std::lock_guard lock(record_mutex_);
        path = record_path_;
    }
    close_record_file(true);
    ui_.message_box(text, caption, MessageKind::Warning);
    ui_.message_box(path, "Close Record File", MessageKind::Information);
}

void Program::start_copy() {
    FileDialogSpec dialog = data_file_dialog(kCopyDialogTitle, true);
    const std::optional<std::string> chosen = ui_.save_file_dialog(dialog);
    if (!chosen) return;
    if (!check_extension(*chosen, kCopyDialogTitle)) return;
    const std::string path = with_lower_case_file_name(*chosen);
    if (playback_file_ && same_file(path, playback_path_)) {
        ui_.message_box("The file being played cannot be its own copy.", kCopyDialogTitle,
                        MessageKind::Warning);
        return;
    }
    std::string error;
    std::optional<RecordWriter> writer = RecordWriter::create(path, error);
    if (!writer) {
        app_.run.copying = false;
        return;
    }
    copy_file_.emplace(std::move(*writer));
    copy_path_ = path;
    copy_bytes_ = 0;
    app_.run.copying = true;
    set_title("Copying to " + path);
    ui_.set_menu_label(menu::kCopy, "&Copy Stop...");
}

void Program::stop_copy() {
    if (copy_file_) copy_file_->close();
    copy_file_.reset();
    app_.run.copying = false;
    set_title("Playback of " + playback_path_);
    ui_.set_menu_label(menu::kCopy, "&Copy Start...");
    ui_.message_box(copy_path_, "Close Copy File", MessageKind::Information);
}

void Program::toggle_rec_pause() {
    if (!app_.run.recording) return;
    app_.run.rec_pause = !app_.run.rec_pause;
    draw_rec_pause_box(true);
}

void Program::draw_rec_pause_box(bool show) {
    kelvanor::draw_rec_pause_box(surface_, ui_, show, app_.run.rec_pause);
}

void Program::flash_rec_pause() {
    if (!app_.run.rec_pause) return;
    rec_pause_flash_phase_ = 1 - rec_pause_flash_phase_;
    const int32_t phase = rec_pause_flash_phase_;
    feed_.publish([phase](PanelSnapshot& snapshot) {
        snapshot.mark(kRecPauseFlash);
        snapshot.rec_pause_flash_phase = phase;
    });
    panel_published();
}

void Program::write_ping_record() {
    // Runs on the acquisition thread while recording, REC Pause off.
    enum class Outcome { Written, NotRecording, DiskFull, WriteFailed } outcome;
    bool first_disk_full = false;
    int64_t free_bytes = 0;
    {
        std::lock_guard lock(record_mutex_);
        if (!app_.run.recording || !record_file_) {
            outcome = Outcome::NotRecording;
        } else if ((free_bytes = free_space_(record_path_)) < kMinimumFreeBytes) {
            outcome = Outcome::DiskFull;
            first_disk_full = disk_full_count_++ == 0;
        } else {
            const int64_t offset = record_file_->bytes_written();
            const bool ok = record_file_->write_ping_record(app_.settings, app_.head, app_.run,
                                                            app_.ping.ping_interval_ms);
            record_bytes_ = record_file_->bytes_written();
            if (ok) app_.ping.record_offset = offset;
            outcome = ok ? Outcome::Written : Outcome::WriteFailed;
            if (ok) ++records_written_;
        }
    }
    switch (outcome) {
        case Outcome::Written:
        case Outcome::NotRecording:
            break;
        case Outcome::DiskFull:
            if (first_disk_full && free_bytes < 0) {
                stop_recording_after(
                    free_space_error_text(free_bytes) + "\nData will NOT be recorded.",
                    kDiskCaption);
            } else if (first_disk_full) {
                stop_recording_after("Disk Drive is full.\nData will NOT be recorded.",
                                     kDiskCaption);
            }
            break;
        case Outcome::WriteFailed:
            // The operator must know that the pings are no longer saved.
            stop_recording_after(
                "The ping could not be written to the record file.\nRecording has stopped.",
                "Record File");
            break;
    }
}

void Program::refresh_diagnostics() {
    publish_reply_copy(app_);
    if (window_.refresh_diagnostics) window_.refresh_diagnostics();
}

void Program::update_ping_indicator(bool reply_valid) {
    const bool star = toggle_ping_indicator(reply_valid, app_.link.ping_star_phase);
    feed_.publish([star](PanelSnapshot& snapshot) {
        snapshot.mark(kPingIndicator);
        snapshot.ping_star = star;
    });
    panel_published();
}

void Program::show_no_data_notice(std::string_view text) {
    feed_.publish([text](PanelSnapshot& snapshot) {
        snapshot.mark(kNoDataNotice);
        snapshot.no_data_shown = true;
        snapshot.no_data_text.fill('\0');
        std::copy_n(text.begin(), std::min(text.size(), snapshot.no_data_text.size() - 1),
                    snapshot.no_data_text.begin());
    });
    panel_published();
}

void Program::erase_no_data_notice() {
    feed_.publish([](PanelSnapshot& snapshot) {
        snapshot.mark(kNoDataNotice);
        snapshot.no_data_shown = false;
    });
    redraw_grid_label();
}

void Program::show_record_size() {
    int32_t kb;
    std::string path;
    {
        std::lock_guard lock(record_mutex_);
        kb = static_cast<int32_t>(record_bytes_ / 1024);
        path = record_path_;
    }
    if (kb == record_kb_shown_) return;
    record_kb_shown_ = kb;
    set_title("Recording to " + path + " - " + std::to_string(kb) + " kB");
}

int64_t Program::record_bytes() const {
    std::lock_guard lock(record_mutex_);
    return record_bytes_;
}

int64_t Program::record_failures() const {
    std::lock_guard lock(record_mutex_);
    return record_file_ ? record_file_->failed_writes() : 0;
}

void Program::clear_line_history(const PingContext& app) {
    kelvanor::clear_line_history(app.waterfall);
}

int Program::draw_ping(const PingContext& app, const ColumnRequest& request) {
    const int moved = kelvanor::draw_ping(app.waterfall, app.settings, request);
    if (window_.image_changed) window_.image_changed();
    return moved;
}

// ---------------------------------------------------------------------------------------
// Playback

bool Program::playback_ready() const {
    return app_.settings.RunMode == RunMode::File && !app_.run.hold &&
           app_.run.playback_file_open && playback_file_.has_value() &&
           app_.datafile.playback_stalled == 0;
}

int Program::playback_pause_ms() const {
    const int pause = 100 - app_.settings.PlotSpeed;
    return pause > 0 ? pause : 0;
}

void Program::playback_step() {
    if (!playback_ready()) return;
    NoPauseClock clock(clock_);
    PlaybackHooks hooks;
    hooks.process_ping = [this, &clock](const PlaybackContext& app) {
        process_ping(app, *this, clock);
    };
    hooks.copy_record = [this](std::span<const uint8_t> bytes) {
        if (!app_.run.copying || !copy_file_) return;
        const bool ok = copy_file_->append(bytes);
        copy_bytes_ = copy_file_->bytes_written();
        if (!ok) {
            ui_.message_box(
                "The record could not be written to the copy file.\nCopying has stopped.",
                "Copy File", MessageKind::Warning);
            stop_copy();
            return;
        }
        const int32_t kb = static_cast<int32_t>(copy_bytes_ / 1024);
        if (kb != copy_kb_shown_) {
            copy_kb_shown_ = kb;
            set_title("Copying to " + copy_path_ + " - " + std::to_string(kb) + " kB");
        }
    };
    hooks.show_position = [this](int32_t percent) {
        if (window_.set_slider) window_.set_slider(percent);
    };
    hooks.reset_ping_tracking = [](const PlaybackContext& app) {
        reset_previous_ping_tracking(app.ping);
    };
    kelvanor::playback_step(app_, *playback_file_, buffer_, hooks);
    if (app_.datafile.playback_stalled != 0) notify_playback_state();
}

void Program::seek_playback(int32_t percent) {
    if (app_.settings.RunMode != RunMode::File || !app_.run.playback_file_open || !playback_file_)
        return;
    PlaybackHooks hooks;
    hooks.reset_ping_tracking = [](const PlaybackContext& app) {
        reset_previous_ping_tracking(app.ping);
    };
    if (kelvanor::seek_playback(app_, *playback_file_, percent, hooks)) clear_screen_and_history();
    notify_playback_state();
}

void Program::process_head_reply(const uint8_t* reply, size_t size) {
    kelvanor::process_head_reply(app_, *this, clock_, reply, size);
}

// ---------------------------------------------------------------------------------------
// Closing

void Program::close_handling() {
    if (app_.settings.RunMode == RunMode::Head) {
        devices_->stop_head_port();
        if (app_.run.gps_enabled) devices_->stop_gps();
    }
    if (app_.run.recording) stop_recording();
    if (app_.settings.RunMode == RunMode::File) {
        if (app_.run.copying) stop_copy();
        close_playback_file();
    }
    save_settings(app_);
    clear_screen_and_history();
}

}  // namespace kelvanor
