#pragma once
// Painting the control panel: the whole panel, and each value box, label and button on its
// own.
//
// Locking. Every panel element is drawn while the surface lock is held. Two forms exist:
//   - draw_*  (PanelContext, Surface&, UiServices* ui): take the surface lock themselves, draw,
//     release it and then ask the window to repaint the changed area (when ui is given). Safe
//     from any thread, but never call them while holding the surface lock. Where the element
//     needs the image lock (the grid of a channel change) it is taken before the surface
//     lock, never inside it.
//   - paint_* (..., const SurfaceLock&): only draw; the caller holds the surface lock and
//     asks for the repaint. They never take another lock except the position-text lock,
//     which is a leaf.
// The draw_* forms of range, channel and balance first run their state halves
// (ping/readout_state.h); the paint_* forms draw what the state already says, for ping
// processing, which runs the state halves itself.

#include <cstdint>
#include <mutex>
#include <string_view>

#include "panel/panel_colours.h"
#include "panel/panel_context.h"
#include "panel/panel_hooks.h"
#include "panel/panel_state.h"
#include "ping/readout_state.h"
#include "platform/surface.h"
#include "platform/ui_services.h"

namespace kelvanor {

using SurfaceLock = std::unique_lock<SurfaceMutex>;
[[nodiscard]] inline SurfaceLock lock_surface(Surface& surface) {
    return SurfaceLock(surface.mutex());
}

// What the value boxes and the grid label show, taken from the settings at one moment. The
// refresh draws the read-outs that ping processing published from such a copy; the forms
// that take the panel's context copy it themselves.
struct ReadoutValues {
    LengthUnit units = LengthUnit::Metres;
    int32_t ss_range = 4;
    bool grid = true;
    RunMode run_mode = RunMode::Head;
    int32_t ss_gain = 6;
    FrequencyBand frequency = FrequencyBand::Low;  // file_frequency in FILE mode, else Frequency
    ChannelSelection ss_train = ChannelSelection::Both;
    ChannelCode channel_code = ChannelCode::Both;
};
ReadoutValues readout_values(const Settings& settings);

// Asks for a repaint of `area` when ui is given.
void request_panel_repaint(UiServices* ui, Rect area);

// The whole panel, in its fixed order, and the image below it. Takes the surface lock in
// parts: the image blit takes the image lock first, and the hooks draw on their own.
void paint_panel(const PanelContext& app, Surface& surface, UiServices* ui, PanelHooks& hooks);

// Range box: sets range_metres and metres_per_sample and resets the previous-ping tracking,
// then shows "120 M" / "400 FT".
void draw_range(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_range_box(const PanelContext& app, Surface& surface, const SurfaceLock& held);
void paint_range_box(const PanelLayout& layout, const ReadoutValues& values, Surface& surface,
                     const SurfaceLock& held);

// Gain box: "%d dB".
void draw_gain(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_gain_box(const PanelContext& app, Surface& surface, const SurfaceLock& held);
void paint_gain_box(const PanelLayout& layout, const ReadoutValues& values, Surface& surface,
                    const SurfaceLock& held);

// Channel box: sets channel_code and previous_ss_train; on a changed channel with the grid
// on, moves the grid to the new layout; shows "Stbd", "Both" or "Port" and the channel
// markers.
void draw_channel(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
// What draw_channel does after the state half: the grid for a changed channel, then the box.
void show_channel(const PanelContext& app, Surface& surface, UiServices* ui,
                  const ChannelReadoutState& state);
void paint_channel_box(const PanelContext& app, Surface& surface, const SurfaceLock& held);
void paint_channel_markers(const PanelContext& app, Surface& surface, const SurfaceLock& held);
void paint_channel_box(const PanelLayout& layout, const ReadoutValues& values, Surface& surface,
                       const SurfaceLock& held);
// The area the channel read-out covers: its box, the strip at the image's edge, the marker.
Rect channel_readout_area(const PanelLayout& layout);

// Removes every other layout's grid lines and draws those of `channel_code`, under one hold
// of the image lock; with the grid off, nothing.
void redraw_grid_for_channel(WaterfallState& waterfall, const Settings& settings);

// "Low Freq" / "High Freq" (file_frequency in FILE mode, Frequency in HEAD mode).
void draw_frequency(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_frequency(const PanelContext& app, Surface& surface, const SurfaceLock& held);
void paint_frequency(const ReadoutValues& values, Surface& surface, const SurfaceLock& held);

// "%3.1f/%3.1f" of the port and starboard balance; in HEAD mode also the balance factors.
void draw_balance(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_balance(Surface& surface, const SurfaceLock& held, const BalanceReadout& readout);

// Grid label (" 3 M/DIV", "80 FT/DIV", "Grid Off"), 45 pixels further right in FILE mode,
// where the Plot Spd control follows it. Its erase also removes the "No Data" notice.
void draw_grid_label(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_grid_label(const PanelContext& app, Surface& surface, const SurfaceLock& held);
// The label of `values`; in FILE mode the Plot Spd control after it comes from the state.
void paint_grid_label(const PanelContext& app, const ReadoutValues& values, Surface& surface,
                      const SurfaceLock& held);

// Plot Spd frame, bar and arrows (FILE mode), and the bar alone.
void draw_plot_speed(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_plot_speed(const PanelContext& app, Surface& surface, const SurfaceLock& held);
void draw_plot_speed_bar(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_plot_speed_bar(const PanelContext& app, Surface& surface, const SurfaceLock& held);
// Bar length in pixels: trunc(PlotSpeed x 0.01 x 48), held to 0..48.
int plot_speed_bar_pixels(int32_t plot_speed);

// The HEAD and FILE buttons, the one of `pressed_mode` pressed.
void draw_data_from_buttons(const PanelContext& app, Surface& surface, UiServices* ui,
                            RunMode pressed_mode);
void paint_data_from_buttons(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                             RunMode pressed_mode);

// Flips hold, redraws the Hold box and, in HEAD mode, sets the switch command's hold field.
void toggle_hold(const PanelContext& app, Surface& surface, UiServices* ui = nullptr);
void paint_hold_box(const PanelContext& app, Surface& surface, const SurfaceLock& held);

// The keyboard entry prompt ("Range: 90 M", "Gain: ? dB"), or its erase.
void draw_entry_box(const PanelContext& app, Surface& surface, UiServices* ui, bool show);
void paint_entry_box(const PanelContext& app, Surface& surface, const SurfaceLock& held, bool show);
// The prompt's text for the current entry ("" when none runs).
std::string entry_prompt_text(const PanelContext& app);

// One arrow button in its look: pressed (kArrowPressed), released, or inactive (the range
// and gain arrows in FILE mode). `button` is one of the eight arrow buttons.
void paint_arrow(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                 PanelButton button, int32_t state);
// The rectangle an arrow button is drawn in.
Rect arrow_button_rect(const PanelLayout& layout, PanelButton button);

}  // namespace kelvanor
