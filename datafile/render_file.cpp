#include "datafile/render_file.h"

#include <span>

#include "datafile/playback.h"
#include "ping/ping_state.h"
#include "ping/process_ping.h"
#include "platform/clock.h"
#include "waterfall/image.h"

namespace kelvanor {

namespace {

// Full plot speed never pauses; should it ever be asked to, a render does not wait either.
class NoWaitClock final : public Clock {
  public:
    std::time_t calendar_seconds() override { return system_.calendar_seconds(); }
    uint64_t monotonic_ms() override { return system_.monotonic_ms(); }
    void sleep_ms(int) override {}

  private:
    SystemClock system_;
};

}  // namespace

std::optional<FileRenderResult> render_file(const PlaybackContext& app, RecordSource& source,
                                            const FileRenderOptions& options) {
    Settings& s = app.settings;
    s.RunMode = RunMode::File;
    s.PlotSpeed = 100;
    s.Grid = options.grid;
    s.Colors = options.colours;
    s.SpeedCorrection = options.speed_correction;
    s.AlongTrackMarks = options.marks;
    build_palette(app.waterfall, options.colours);

    reset_tracking_for_new_file(app.ping);
    clear_line_history(app.waterfall);
    clear_screen(app.waterfall, s,
                 std::as_writable_bytes(std::span(app.ping.column_history.records)));
    if (!start_playback(app, source)) return std::nullopt;

    PingHooks ping_hooks;
    NoWaitClock clock;
    const PlaybackHooks hooks = pipeline_playback_hooks(ping_hooks, clock);

    std::vector<uint8_t>* const spill = options.column_spill;
    app.waterfall.column_spill = spill;
    FileRenderResult result;
    int32_t shown_percent = -1;
    RecordBuffer buffer{};
    for (;;) {
        const PlaybackStep step = playback_step(app, source, buffer, hooks);
        if (step == PlaybackStep::Wrapped || step == PlaybackStep::Stalled) break;
        if (step == PlaybackStep::Played) ++result.played;
        if (step == PlaybackStep::Skipped) ++result.skipped;
        if (options.show_progress && app.datafile.playback_percent != shown_percent) {
            shown_percent = app.datafile.playback_percent;
            options.show_progress(shown_percent);
        }
        if (spill != nullptr && options.max_spill_columns > 0 &&
            spill->size() / kImageHeight > options.max_spill_columns) {
            result.cut = true;
            break;
        }
    }
    app.waterfall.column_spill = nullptr;
    return result;
}

}  // namespace kelvanor
