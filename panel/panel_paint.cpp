#include "panel/panel_paint.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "panel/panel_draw_util.h"
#include "panel/readouts.h"
#include "waterfall/grid.h"
#include "waterfall/image.h"

namespace kelvanor {

using panel_detail::outlined_box;
using panel_detail::rect_union;
using panel_detail::text_centred_in;
using panel_detail::text_centred_x;

namespace {

constexpr Rect kChannelStrip{785, 0, 792, 502};
constexpr Rect kFrequencyBox{101, 520, 152, 537};
constexpr Rect kBalanceBox{102, 537, 147, 553};
constexpr Rect kPlotSpeedFrame{404, 505, 454, 522};
constexpr Point kPlotSpeedDownArrow{389, 506};
constexpr Point kPlotSpeedUpArrow{454, 506};
constexpr int kPlotSpeedBarLeft = 405;
constexpr int kPlotSpeedBarEnd = 453;  // the frame's inner right edge
constexpr int kPlotSpeedBarPixels = 48;
constexpr int kFileModeLabelShift = 45;
constexpr int kEntryBoxRight = 792;

bool file_mode(const PanelContext& app) {
    return app.settings.RunMode == RunMode::File;
}

// A value box: outline palette 125, face palette 122, white text centred.
void paint_value_box(Surface& surface, Rect box, std::string_view text) {
    outlined_box(surface, box, kPaletteBlack, kPaletteButtonShade);
    text_centred_in(surface, box, text, kPaletteWhite, kPaletteButtonShade);
}

Rect grid_label_erase_rect(const PanelLayout& l) {
    return {387, 504, 547, l.cy + 507};
}

Rect channel_marker_rect(const PanelLayout& l, int top, int bottom) {
    // The marker lies just inside the channel box's right edge, beside its arrows.
    return {l.x3 - 4, top, l.x3 - 1, bottom};
}

Rect channel_area(const PanelLayout& l) {
    return rect_union(rect_union(l.channel_box, kChannelStrip),
                      channel_marker_rect(l, l.y0, l.y0 + 2 * l.bh));
}

}  // namespace

void request_panel_repaint(UiServices* ui, Rect area) {
    if (ui != nullptr) ui->request_repaint(area);
}

// --- value boxes ----------------------------------------------------------------------------

ReadoutValues readout_values(const Settings& settings) {
    const Settings s = consistent_copy(settings);
    ReadoutValues v;
    v.units = s.Units;
    v.ss_range = s.SSRange;
    v.grid = s.Grid;
    v.run_mode = s.RunMode;
    v.ss_gain = s.SSGain;
    v.frequency = s.RunMode == RunMode::File ? s.file_frequency.load() : s.Frequency.load();
    v.ss_train = s.SSTrain;
    v.channel_code = s.channel_code;
    return v;
}

void paint_range_box(const PanelLayout& layout, const ReadoutValues& values, Surface& surface,
                     const SurfaceLock&) {
    paint_value_box(surface, layout.range_box, range_label(values.units, values.ss_range));
}

void paint_range_box(const PanelContext& app, Surface& surface, const SurfaceLock& held) {
    paint_range_box(app.panel.layout, readout_values(app.settings), surface, held);
}

void draw_range(const PanelContext& app, Surface& surface, UiServices* ui) {
    apply_range_readout_state(app.settings, app.head, app.ping);
    {
        const SurfaceLock held = lock_surface(surface);
        paint_range_box(app, surface, held);
    }
    request_panel_repaint(ui, app.panel.layout.range_box);
}

void paint_gain_box(const PanelLayout& layout, const ReadoutValues& values, Surface& surface,
                    const SurfaceLock&) {
    char text[32];
    std::snprintf(text, sizeof text, "%d dB", static_cast<int>(values.ss_gain));
    paint_value_box(surface, layout.gain_box, text);
}

void paint_gain_box(const PanelContext& app, Surface& surface, const SurfaceLock& held) {
    paint_gain_box(app.panel.layout, readout_values(app.settings), surface, held);
}

void draw_gain(const PanelContext& app, Surface& surface, UiServices* ui) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_gain_box(app, surface, held);
    }
    request_panel_repaint(ui, app.panel.layout.gain_box);
}

namespace {

void paint_channel_markers(const PanelLayout& l, ChannelCode channel_code, Surface& surface) {
    const int top = l.y0;
    const int bottom = l.y0 + 2 * l.bh - 1;
    switch (channel_code) {
        case ChannelCode::Port:
            surface.fill_rect(kChannelStrip, kPaletteDarkRed);
            surface.fill_rect(channel_marker_rect(l, top, bottom), kPaletteDarkRed);
            break;
        case ChannelCode::Starboard:
            surface.fill_rect(kChannelStrip, kPaletteIndicatorGreen);
            surface.fill_rect(channel_marker_rect(l, top, bottom), kPaletteIndicatorGreen);
            break;
        case ChannelCode::Both: {
            const int middle = (kChannelStrip.top + kChannelStrip.bottom) / 2;  // 251
            surface.fill_rect({kChannelStrip.left, kChannelStrip.top, kChannelStrip.right, middle},
                              kPaletteDarkRed);
            surface.fill_rect(channel_marker_rect(l, top, l.y0 + l.bh - 1), kPaletteDarkRed);
            surface.fill_rect(
                {kChannelStrip.left, middle, kChannelStrip.right, kChannelStrip.bottom},
                kPaletteIndicatorGreen);
            surface.fill_rect(channel_marker_rect(l, l.y0 + l.bh - 1, bottom),
                              kPaletteIndicatorGreen);
            break;
        }
    }
}

}  // namespace

void paint_channel_markers(const PanelContext& app, Surface& surface, const SurfaceLock&) {
    paint_channel_markers(app.panel.layout, app.settings.channel_code, surface);
}

void paint_channel_box(const PanelLayout& layout, const ReadoutValues& values, Surface& surface,
                       const SurfaceLock&) {
    static constexpr std::string_view kNames[] = {"Stbd", "Both", "Port"};
    const int32_t train = std::clamp<int32_t>(static_cast<int32_t>(values.ss_train), 0, 2);
    paint_value_box(surface, layout.channel_box, kNames[train]);
    paint_channel_markers(layout, values.channel_code, surface);
}

void paint_channel_box(const PanelContext& app, Surface& surface, const SurfaceLock& held) {
    paint_channel_box(app.panel.layout, readout_values(app.settings), surface, held);
}

Rect channel_readout_area(const PanelLayout& layout) {
    return channel_area(layout);
}

void redraw_grid_for_channel(WaterfallState& waterfall, const Settings& settings) {
    const ImageLock held = lock_image(waterfall);
    if (!settings.Grid) return;
    const ChannelCode code = settings.channel_code;
    // Whatever layout the old lines had, none of them survives; the layouts' rows are
    // disjoint, so clearing the others never touches a line of the new one.
    for (ChannelCode other : {ChannelCode::Starboard, ChannelCode::Port, ChannelCode::Both}) {
        if (other != code) draw_grid(waterfall, held, false, other);
    }
    draw_grid(waterfall, held, true, code);
}

void show_channel(const PanelContext& app, Surface& surface, UiServices* ui,
                  const ChannelReadoutState& state) {
    if (state.redraw_grid) redraw_grid_for_channel(app.waterfall, app.settings);
    {
        const SurfaceLock held = lock_surface(surface);
        paint_channel_box(app, surface, held);
    }
    request_panel_repaint(ui, channel_area(app.panel.layout));
}

void draw_channel(const PanelContext& app, Surface& surface, UiServices* ui) {
    show_channel(app, surface, ui, apply_channel_readout_state(app.settings));
}

// --- frequency, balance ---------------------------------------------------------------------

void paint_frequency(const PanelContext& app, Surface& surface, const SurfaceLock& held) {
    paint_frequency(readout_values(app.settings), surface, held);
}

void paint_frequency(const ReadoutValues& values, Surface& surface, const SurfaceLock&) {
    const std::string_view text =
        values.frequency == FrequencyBand::High ? "High Freq" : "Low Freq";
    surface.fill_rect(kFrequencyBox, kPalettePanelBackground);
    surface.text({104, 523}, text, kPaletteBlack, kPalettePanelBackground);
    surface.text({103, 522}, text, kPaletteIndicatorGreen);
}

void draw_frequency(const PanelContext& app, Surface& surface, UiServices* ui) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_frequency(app, surface, held);
    }
    request_panel_repaint(ui,
                          rect_union(kFrequencyBox, {101, 520, 160, 524 + app.panel.layout.cy}));
}

void paint_balance(Surface& surface, const SurfaceLock&, const BalanceReadout& readout) {
    char text[64];
    std::snprintf(text, sizeof text, "%3.1f/%3.1f", static_cast<double>(readout.port_db),
                  static_cast<double>(readout.stbd_db));
    surface.fill_rect(kBalanceBox, kPalettePanelBackground);
    surface.text({104, 539}, text, kPaletteBlack, kPalettePanelBackground);
    surface.text({103, 538}, text, kPaletteButtonShade);
}

void draw_balance(const PanelContext& app, Surface& surface, UiServices* ui) {
    const BalanceReadout readout =
        apply_balance_readout_state(app.settings, app.head, app.file_channel_balance);
    {
        const SurfaceLock held = lock_surface(surface);
        paint_balance(surface, held, readout);
    }
    request_panel_repaint(ui, rect_union(kBalanceBox, {102, 537, 160, 540 + app.panel.layout.cy}));
}

// --- grid label and plot speed --------------------------------------------------------------

void paint_grid_label(const PanelContext& app, Surface& surface, const SurfaceLock& held) {
    paint_grid_label(app, readout_values(app.settings), surface, held);
}

void paint_grid_label(const PanelContext& app, const ReadoutValues& values, Surface& surface,
                      const SurfaceLock& held) {
    const PanelLayout& l = app.panel.layout;
    const bool file = values.run_mode == RunMode::File;
    const int s = file ? kFileModeLabelShift : 0;
    surface.fill_rect(grid_label_erase_rect(l), kPalettePanelBackground);
    surface.fill_rect({428 + s, 505, 498 + s, l.cy + 509}, kPaletteLightGrey);
    text_centred_x(surface, 463 + s, 507,
                   grid_division_label(values.units, values.ss_range, values.grid), kPaletteBlack,
                   kPaletteLightGrey);
    if (file) paint_plot_speed(app, surface, held);
}

void draw_grid_label(const PanelContext& app, Surface& surface, UiServices* ui) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_grid_label(app, surface, held);
    }
    const PanelLayout& l = app.panel.layout;
    request_panel_repaint(ui, rect_union(grid_label_erase_rect(l), {428, 505, 543, l.cy + 509}));
}

int plot_speed_bar_pixels(int32_t plot_speed) {
    const float a =
        static_cast<float>(plot_speed) * 0.01f * static_cast<float>(kPlotSpeedBarPixels);
    return std::clamp(static_cast<int>(std::clamp(a, -1.0f, 1000.0f)), 0, kPlotSpeedBarPixels);
}

void paint_plot_speed_bar(const PanelContext& app, Surface& surface, const SurfaceLock&) {
    const int a = plot_speed_bar_pixels(app.settings.PlotSpeed);
    // The filled part and the rest cover the frame's inside exactly, so a shorter bar
    // leaves nothing of a longer one behind.
    surface.fill_rect({kPlotSpeedBarLeft, 506, kPlotSpeedBarLeft + a, 521}, kPaletteLightGrey);
    surface.fill_rect({kPlotSpeedBarLeft + a, 506, kPlotSpeedBarEnd, 521}, kPaletteButtonShade);
    surface.text({408, 507}, "Plot Spd", kPaletteBlack);
}

void draw_plot_speed_bar(const PanelContext& app, Surface& surface, UiServices* ui) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_plot_speed_bar(app, surface, held);
    }
    request_panel_repaint(ui, kPlotSpeedFrame);
}

void paint_plot_speed(const PanelContext& app, Surface& surface, const SurfaceLock& held) {
    outlined_box(surface, kPlotSpeedFrame, kPaletteBlack, kPaletteButtonShade);
    paint_plot_speed_bar(app, surface, held);
    app.panel.arrows.plot_down_state = kArrowReleased;
    app.panel.arrows.plot_up_state = kArrowReleased;
    paint_arrow(app, surface, held, PanelButton::PlotSpeedDown, kArrowReleased);
    paint_arrow(app, surface, held, PanelButton::PlotSpeedUp, kArrowReleased);
}

void draw_plot_speed(const PanelContext& app, Surface& surface, UiServices* ui) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_plot_speed(app, surface, held);
    }
    const PanelLayout& l = app.panel.layout;
    request_panel_repaint(ui, rect_union(l.plot_down_rect, l.plot_up_rect));
}

// --- DATA FROM, Hold, entry box -------------------------------------------------------------

void paint_data_from_buttons(const PanelContext& app, Surface& surface, const SurfaceLock&,
                             RunMode pressed_mode) {
    const PanelLayout& l = app.panel.layout;
    struct Button {
        const ButtonBox& box;
        std::string_view label;
        bool pressed;
    };
    const Button buttons[] = {{l.head_button, "HEAD", pressed_mode == RunMode::Head},
                              {l.file_button, "FILE", pressed_mode == RunMode::File}};
    for (const Button& b : buttons) {
        const Rect r = b.box.rect();
        surface.fill_rect(r, kPaletteLightGrey);
        const int shift = b.pressed ? 1 : 0;
        if (b.pressed) {
            surface.line({r.left, r.top}, {r.right, r.top}, kPaletteButtonShade);
            surface.line({r.left, r.top}, {r.left, r.bottom}, kPaletteButtonShade);
        } else {
            surface.line({r.left, r.top}, {r.right, r.top}, kPaletteWhite);
            surface.line({r.left, r.top}, {r.left, r.bottom}, kPaletteWhite);
            surface.line({r.right - 1, r.top}, {r.right - 1, r.bottom}, kPaletteButtonShade);
            surface.line({r.left, r.bottom - 1}, {r.right, r.bottom - 1}, kPaletteButtonShade);
        }
        text_centred_x(surface, r.left + r.width() / 2 + shift, r.top + 2 + shift, b.label,
                       kPaletteBlack, kPaletteLightGrey);
    }
}

void draw_data_from_buttons(const PanelContext& app, Surface& surface, UiServices* ui,
                            RunMode pressed_mode) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_data_from_buttons(app, surface, held, pressed_mode);
    }
    const PanelLayout& l = app.panel.layout;
    request_panel_repaint(ui, rect_union(l.head_button.rect(), l.file_button.rect()));
}

void paint_hold_box(const PanelContext& app, Surface& surface, const SurfaceLock&) {
    const Point at = app.panel.layout.hold_check;
    surface.glyph(app.run.hold ? SystemGlyph::CheckBoxChecked : SystemGlyph::CheckBoxEmpty,
                  {at.x, at.y, at.x + kCheckBoxSize, at.y + kCheckBoxSize});
}

void toggle_hold(const PanelContext& app, Surface& surface, UiServices* ui) {
    const bool hold = !app.run.hold;
    app.run.hold = hold;
    if (app.settings.RunMode == RunMode::Head) app.head.hold_command_flag = hold ? 1 : 0;
    {
        const SurfaceLock held = lock_surface(surface);
        paint_hold_box(app, surface, held);
    }
    const Point at = app.panel.layout.hold_check;
    request_panel_repaint(ui, {at.x, at.y, at.x + kCheckBoxSize, at.y + kCheckBoxSize});
}

std::string entry_prompt_text(const PanelContext& app) {
    const int32_t kind = app.run.entry_kind;
    if (kind != 1 && kind != 2) return {};
    std::string text = kind == 1 ? "Range: " : "Gain: ";
    const int count = std::clamp<int32_t>(app.run.entry_count, 0, 3);
    if (count == 0) {
        text += '?';
    } else {
        text.append(app.run.entry_digits.data(), static_cast<size_t>(count));
    }
    if (kind == 1) {
        text += app.settings.Units == LengthUnit::Feet ? " FT" : " M";
    } else {
        text += " dB";
    }
    return text;
}

void paint_entry_box(const PanelContext& app, Surface& surface, const SurfaceLock&, bool show) {
    const PanelLayout& l = app.panel.layout;
    if (!show) {
        surface.fill_rect({l.entry_box.x, l.entry_box.y, kEntryBoxRight, l.entry_box.y + l.cy},
                          kPalettePanelBackground);
        return;
    }
    const std::string text = entry_prompt_text(app);
    const Size extent = surface.text_extent(text);
    const Rect box{l.entry_box.x, l.entry_box.y, l.entry_box.x + extent.width + 5,
                   l.entry_box.y + l.cy};
    surface.fill_rect(box, kPaletteButtonShade);
    // The text sits one pixel down: its cell's last row would fall on the position box's
    // top edge, below what the erasure covers.
    surface.set_clip(box);
    surface.text({l.entry_box.x + 2, l.entry_box.y + 1}, text, kPaletteBlack, kPaletteButtonShade);
    surface.set_clip(std::nullopt);
}

void draw_entry_box(const PanelContext& app, Surface& surface, UiServices* ui, bool show) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_entry_box(app, surface, held, show);
    }
    const PanelLayout& l = app.panel.layout;
    request_panel_repaint(
        ui, {l.entry_box.x, l.entry_box.y, kEntryBoxRight + 8, l.entry_box.y + l.cy + 2});
}

// --- arrows ---------------------------------------------------------------------------------

Rect arrow_button_rect(const PanelLayout& l, PanelButton button) {
    switch (button) {
        case PanelButton::RangeUp:
            return l.range_up_rect();
        case PanelButton::RangeDown:
            return l.range_down_rect();
        case PanelButton::GainUp:
            return l.gain_up_rect;
        case PanelButton::GainDown:
            return l.gain_down_rect;
        case PanelButton::ChannelUp:
            return l.train_up_rect();
        case PanelButton::ChannelDown:
            return l.train_down_rect();
        case PanelButton::PlotSpeedUp:
            return l.plot_up_rect;
        case PanelButton::PlotSpeedDown:
            return l.plot_down_rect;
        default:
            return {};
    }
}

void paint_arrow(const PanelContext& app, Surface& surface, const SurfaceLock&, PanelButton button,
                 int32_t state) {
    enum Direction { Up, Down, Left, Right };
    Direction direction = Up;
    bool head_only = false;
    switch (button) {
        case PanelButton::RangeUp:
            head_only = true;
            direction = Up;
            break;
        case PanelButton::RangeDown:
            head_only = true;
            direction = Down;
            break;
        case PanelButton::GainUp:
            head_only = true;
            direction = Up;
            break;
        case PanelButton::GainDown:
            head_only = true;
            direction = Down;
            break;
        case PanelButton::ChannelUp:
            direction = Up;
            break;
        case PanelButton::ChannelDown:
            direction = Down;
            break;
        case PanelButton::PlotSpeedUp:
            direction = Right;
            break;
        case PanelButton::PlotSpeedDown:
            direction = Left;
            break;
        default:
            return;
    }
    static constexpr SystemGlyph kNormal[] = {SystemGlyph::ArrowUp, SystemGlyph::ArrowDown,
                                              SystemGlyph::ArrowLeft, SystemGlyph::ArrowRight};
    static constexpr SystemGlyph kPressed[] = {
        SystemGlyph::ArrowUpPressed, SystemGlyph::ArrowDownPressed, SystemGlyph::ArrowLeftPressed,
        SystemGlyph::ArrowRightPressed};
    static constexpr SystemGlyph kInactive[] = {
        SystemGlyph::ArrowUpInactive, SystemGlyph::ArrowDownInactive,
        SystemGlyph::ArrowLeftInactive, SystemGlyph::ArrowRightInactive};
    SystemGlyph glyph = kNormal[direction];
    if (state == kArrowPressed) {
        glyph = kPressed[direction];
    } else if (head_only && file_mode(app)) {
        glyph = kInactive[direction];
    }
    surface.glyph(glyph, arrow_button_rect(app.panel.layout, button));
}

// --- the whole panel ------------------------------------------------------------------------

void paint_panel(const PanelContext& app, Surface& surface, UiServices* ui, PanelHooks& hooks) {
    // State halves first: the channel's grid change takes the image lock, which comes before
    // the surface lock.
    apply_range_readout_state(app.settings, app.head, app.ping);
    const ChannelReadoutState channel = apply_channel_readout_state(app.settings);
    if (channel.redraw_grid) redraw_grid_for_channel(app.waterfall, app.settings);
    const BalanceReadout balance =
        apply_balance_readout_state(app.settings, app.head, app.file_channel_balance);

    PanelState& panel = app.panel;
    const PanelLayout& l = panel.layout;
    {
        const SurfaceLock held = lock_surface(surface);
        // 1. Background, the line under the image, the empty image area.
        surface.fill_rect({0, kPanelTop, kPanelRight, kPanelBottom}, kPalettePanelBackground);
        surface.line({0, kPanelTop}, {kPanelRight, kPanelTop}, kPaletteLightGrey);
        surface.fill_rect({0, 0, 786, kPanelTop}, 0);
        // 2. Value boxes and the empty cursor-range box.
        for (const Rect& box : {l.range_box, l.gain_box, l.channel_box}) {
            outlined_box(surface, box, kPaletteBlack, kPaletteButtonShade);
        }
        surface.fill_rect(l.cursor_range_box, kPaletteLightGrey);
        // 3. Labels and the DATA FROM buttons.
        surface.text(l.data_from_label, "DATA FROM", kPaletteWhite, kPalettePanelBackground);
        paint_data_from_buttons(app, surface, held, app.settings.RunMode);
        const int label_y = l.y0 - l.cy - 2;
        surface.text({l.range_box.left + 2, label_y}, "Range", kPaletteWhite,
                     kPalettePanelBackground);
        surface.text({l.gain_box.left + 2, label_y}, "Gain", kPaletteWhite,
                     kPalettePanelBackground);
        surface.text({l.channel_box.left + 2, label_y}, "Channel", kPaletteWhite,
                     kPalettePanelBackground);
        surface.text({119, 503}, "Hold", kPaletteWhite, kPalettePanelBackground);
        // 4. Range, grid label, gain, channel.
        paint_range_box(app, surface, held);
        paint_grid_label(app, surface, held);
        paint_gain_box(app, surface, held);
        paint_channel_box(app, surface, held);
        // 5. Position labels and the position read-out with nothing to show.
        surface.text({657, 522}, "LAT", kPaletteWhite, kPalettePanelBackground);
        surface.text({657, l.cy + 520}, "LNG", kPaletteWhite, kPalettePanelBackground);
        paint_gps_position(app, surface, held, false);
        panel.line_position_shown = {};
        panel.line_position_na = true;
        paint_line_position(app, surface, held, {}, false);
        // 6. The six arrows, released.
        for (PanelButton b :
             {PanelButton::RangeUp, PanelButton::RangeDown, PanelButton::GainUp,
              PanelButton::GainDown, PanelButton::ChannelUp, PanelButton::ChannelDown}) {
            arrow_state(panel.arrows, b) = kArrowReleased;
            paint_arrow(app, surface, held, b, kArrowReleased);
        }
        // 7. Hold.
        paint_hold_box(app, surface, held);
        // 8. Plot speed (FILE mode).
        if (file_mode(app)) paint_plot_speed(app, surface, held);
    }
    if (!file_mode(app) && app.run.recording) hooks.draw_rec_pause();
    // 9. The image, then what lies over and beside it.
    blit_image(app.waterfall, surface);
    {
        const SurfaceLock held = lock_surface(surface);
        paint_grid_label(app, surface, held);
        paint_speed(app, surface, held, app.run.speed_knots, true);
        paint_heading(app, surface, held, app.run.heading_degrees, true);
        paint_frequency(app, surface, held);
        paint_balance(surface, held, balance);
        // The date and time box was erased with the background: show the last text again.
        const std::array<char, 40> shown = panel.date_time_shown;
        panel.date_time_shown = {};
        paint_date_time(app, surface, held, panel_detail::c_text(shown.data(), shown.size()));
    }
    // 10. Notices of other parts.
    hooks.draw_panel_notices();
    if (ui != nullptr) ui->request_repaint();
}

}  // namespace kelvanor
