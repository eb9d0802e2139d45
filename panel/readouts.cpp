#include "panel/readouts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "panel/panel_draw_util.h"
#include "waterfall/image.h"

namespace kelvanor {

using panel_detail::c_text;
using panel_detail::outlined_box;
using panel_detail::rect_union;
using panel_detail::text_centred_x;

namespace {

constexpr int kPositionCentreX = 742;
constexpr int kNotAvailableX = 712;
constexpr Point kBlinkMark{696, 522};

// A read-out box: black outline, light grey face.
void readout_box(Surface& surface, Rect rect) {
    outlined_box(surface, rect, kPaletteBlack, kPaletteLightGrey);
}

// Whole degrees of a heading, cut toward zero. A value that is no number or out of range
// (a damaged played record) shows as 0 instead of overflowing the conversion.
int32_t whole_degrees(float heading) {
    if (!std::isfinite(heading) || std::fabs(heading) > 1.0e6f) return 0;
    return static_cast<int32_t>(heading);
}

// Writes the two 12-character halves of a position text, up to their first NUL each.
void paint_position_lines(Surface& surface, const PanelLayout& l, const char* position) {
    text_centred_x(surface, kPositionCentreX, 522, c_text(position, 12), kPaletteBlack,
                   kPaletteLightGrey);
    text_centred_x(surface, kPositionCentreX, 520 + l.cy, c_text(position + 12, 12), kPaletteBlack,
                   kPaletteLightGrey);
}

void paint_not_available(Surface& surface, const PanelLayout& l) {
    surface.text({kNotAvailableX, 522}, "N/A", kPaletteBlack, kPaletteLightGrey);
    surface.text({kNotAvailableX, 520 + l.cy}, "N/A", kPaletteBlack, kPaletteLightGrey);
}

Rect readout_column(const PanelLayout& l) {
    return rect_union(rect_union(l.speed_box, l.heading_box),
                      rect_union(l.heading_dial, l.cursor_range_box));
}

int32_t feet_for_metres(int32_t metres) {
    static constexpr std::array<std::array<int32_t, 2>, 9> kFeet = {{{15, 50},
                                                                     {30, 100},
                                                                     {60, 200},
                                                                     {90, 300},
                                                                     {120, 400},
                                                                     {150, 500},
                                                                     {180, 600},
                                                                     {210, 700},
                                                                     {240, 800}}};
    for (const auto& pair : kFeet) {
        if (pair[0] == metres) return pair[1];
    }
    return metres;
}

}  // namespace

// --- speed and heading ----------------------------------------------------------------------

bool paint_speed(const PanelContext& app, Surface& surface, const SurfaceLock&, float speed_knots,
                 bool force) {
    PanelState& panel = app.panel;
    if (!force && panel.speed_shown && *panel.speed_shown == speed_knots) return false;
    panel.speed_shown = speed_knots;
    const PanelLayout& l = panel.layout;
    readout_box(surface, l.speed_box);
    char text[64];
    std::snprintf(text, sizeof text, "%3.1f KTS", static_cast<double>(speed_knots));
    surface.set_clip(Rect{646 - 8 * l.cx, 504, 646, l.cy + 502});
    text_centred_x(surface, 646 - 4 * l.cx, 503, text, kPaletteBlack, kPaletteLightGrey);
    surface.set_clip(std::nullopt);
    return true;
}

bool draw_speed(const PanelContext& app, Surface& surface, UiServices* ui, float speed_knots,
                bool force) {
    bool drew = false;
    {
        const SurfaceLock held = lock_surface(surface);
        drew = paint_speed(app, surface, held, speed_knots, force);
    }
    if (drew) request_panel_repaint(ui, app.panel.layout.speed_box);
    return drew;
}

Point heading_needle_end(int dial_left, float heading_degrees) {
    const double theta = static_cast<double>(heading_degrees) * M_PI / 180.0;
    const double cx = dial_left + 8;
    const double cy = 519;
    if (!std::isfinite(theta)) return {dial_left + 8, 511};
    return {static_cast<int>(std::trunc(cx + 8.0 * std::sin(theta) + 0.5)),
            static_cast<int>(std::trunc(cy - 8.0 * std::cos(theta) + 0.5))};
}

bool paint_heading(const PanelContext& app, Surface& surface, const SurfaceLock&,
                   float heading_degrees, bool force) {
    PanelState& panel = app.panel;
    const int32_t h = whole_degrees(heading_degrees);
    if (!force && panel.heading_shown && *panel.heading_shown == h) return false;
    panel.heading_shown = h;
    const PanelLayout& l = panel.layout;
    surface.ellipse(l.heading_dial, kPaletteLightGrey, kPaletteButtonShade);
    const Point centre{l.heading_dial.left + 8, 519};
    surface.line(centre, heading_needle_end(l.heading_dial.left, heading_degrees), kPaletteWhite);
    readout_box(surface, l.heading_box);
    char text[32];
    std::snprintf(text, sizeof text, "%03d DEG", static_cast<int>(h));
    surface.set_clip(Rect{647 - 8 * l.cx, 521, 645, 519 + l.cy});
    text_centred_x(surface, 646 - 4 * l.cx, 520, text, kPaletteBlack, kPaletteLightGrey);
    surface.set_clip(std::nullopt);
    return true;
}

bool draw_heading(const PanelContext& app, Surface& surface, UiServices* ui, float heading_degrees,
                  bool force) {
    bool drew = false;
    {
        const SurfaceLock held = lock_surface(surface);
        drew = paint_heading(app, surface, held, heading_degrees, force);
    }
    const PanelLayout& l = app.panel.layout;
    if (drew) request_panel_repaint(ui, rect_union(l.heading_dial, l.heading_box));
    return drew;
}

// --- date and time --------------------------------------------------------------------------

bool paint_date_time(const PanelContext& app, Surface& surface, const SurfaceLock&,
                     std::string_view text) {
    PanelState& panel = app.panel;
    // Only what fits the stored copy is shown, so that the comparison means what is shown.
    text = text.substr(0, std::min(text.size(), panel.date_time_shown.size() - 1));
    text = c_text(text.data(), text.size());
    if (panel.capture_redraw == 0 &&
        text == c_text(panel.date_time_shown.data(), panel.date_time_shown.size())) {
        return false;
    }
    const PanelLayout& l = panel.layout;
    readout_box(surface, l.date_time_box);
    text_centred_x(surface, 467, 531, text, kPaletteBlack, kPaletteLightGrey);
    panel.date_time_shown = {};
    std::copy(text.begin(), text.end(), panel.date_time_shown.begin());
    return true;
}

bool draw_date_time(const PanelContext& app, Surface& surface, UiServices* ui,
                    std::string_view text) {
    bool drew = false;
    {
        const SurfaceLock held = lock_surface(surface);
        drew = paint_date_time(app, surface, held, text);
    }
    if (drew) request_panel_repaint(ui, app.panel.layout.date_time_box);
    return drew;
}

// --- position -------------------------------------------------------------------------------

void paint_gps_position(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                        bool show) {
    PanelState& panel = app.panel;
    if (!show) {
        readout_box(surface, panel.layout.position_box);
        paint_not_available(surface, panel.layout);
        return;
    }
    std::array<char, kPositionTextSize> position{};
    {
        std::lock_guard lock(app.head.position_text_lock);
        position = app.head.position_text;
    }
    paint_gps_fix(app, surface, held, position, panel.gps_blink == 1 ? 0 : 1);
}

void paint_gps_fix(const PanelContext& app, Surface& surface, const SurfaceLock&,
                   const std::array<char, kPositionTextSize>& position, int32_t blink) {
    PanelState& panel = app.panel;
    const PanelLayout& l = panel.layout;
    panel.gps_blink = blink;
    readout_box(surface, l.position_box);
    paint_position_lines(surface, l, position.data());
    if (blink == 1) surface.text(kBlinkMark, "*", kPaletteBlack, kPaletteLightGrey);
}

void draw_gps_position(const PanelContext& app, Surface& surface, UiServices* ui, bool show) {
    {
        const SurfaceLock held = lock_surface(surface);
        paint_gps_position(app, surface, held, show);
    }
    request_panel_repaint(ui, app.panel.layout.position_box);
}

bool paint_line_position(const PanelContext& app, Surface& surface, const SurfaceLock&,
                         std::string_view text, bool show) {
    if (app.settings.RunMode != RunMode::File) return false;
    PanelState& panel = app.panel;
    if (text.empty() || text.front() == '\0') show = false;
    std::array<char, kPositionTextSize> position{};
    std::copy_n(text.begin(), std::min(text.size(), position.size()), position.begin());
    if (panel.capture_redraw == 0) {
        if (show && !panel.line_position_na && position == panel.line_position_shown) return false;
        if (!show && panel.line_position_na) return false;
    }
    const PanelLayout& l = panel.layout;
    readout_box(surface, l.position_box);
    if (show) {
        paint_position_lines(surface, l, position.data());
        panel.line_position_shown = position;
    } else {
        paint_not_available(surface, l);
        panel.line_position_shown = {};
    }
    panel.line_position_na = !show;
    return true;
}

bool draw_line_position(const PanelContext& app, Surface& surface, UiServices* ui,
                        std::string_view text, bool show) {
    bool drew = false;
    {
        const SurfaceLock held = lock_surface(surface);
        drew = paint_line_position(app, surface, held, text, show);
    }
    if (drew) request_panel_repaint(ui, app.panel.layout.position_box);
    return drew;
}

// --- cursor range ---------------------------------------------------------------------------

std::string cursor_range_text(LengthUnit units, ChannelCode channel_code, int32_t range_metres,
                              int32_t y) {
    const float r = static_cast<float>(units == LengthUnit::Feet ? feet_for_metres(range_metres)
                                                                 : range_metres);
    float d = 0.0f;
    switch (channel_code) {
        case ChannelCode::Starboard:
            d = static_cast<float>(y - 2) * r / 500.0f;
            break;
        case ChannelCode::Port:
            d = static_cast<float>(500 - y) * r / 500.0f;
            break;
        case ChannelCode::Both:
            d = static_cast<float>(std::abs(y - 250 - 1)) * r / 250.0f;
            break;
    }
    char text[64];
    std::snprintf(text, sizeof text, units == LengthUnit::Feet ? "%#06.2f FT" : "%#06.2f M",
                  static_cast<double>(d));
    return text;
}

void paint_cursor_range(const PanelContext& app, Surface& surface, const SurfaceLock&,
                        int32_t range_metres, int32_t y) {
    const PanelLayout& l = app.panel.layout;
    const std::string text =
        cursor_range_text(app.settings.Units, app.settings.channel_code, range_metres, y);
    surface.set_clip(Rect{646 - 8 * l.cx, 539, 646, 535 + l.cy});
    text_centred_x(surface, 646 - 4 * l.cx, 537, text, kPaletteBlack, kPaletteLightGrey);
    surface.set_clip(std::nullopt);
}

void draw_cursor_range(const PanelContext& app, Surface& surface, UiServices* ui,
                       int32_t range_metres, int32_t y) {
    {
        const SurfaceLock held = lock_surface(surface);
        surface.fill_rect(app.panel.layout.cursor_range_box, kPaletteLightGrey);
        paint_cursor_range(app, surface, held, range_metres, y);
    }
    request_panel_repaint(ui, app.panel.layout.cursor_range_box);
}

// --- the cursor read-out --------------------------------------------------------------------

void paint_history_entry(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                         const HistoryEntry& entry, int32_t row) {
    surface.fill_rect(app.panel.layout.cursor_range_box, kPaletteLightGrey);
    paint_cursor_range(app, surface, held, entry.range_metres(), row);
    paint_line_position(app, surface, held,
                        std::string_view(entry.position_text.data(), entry.position_text.size()),
                        true);
    paint_date_time(app, surface, held,
                    c_text(entry.date_time_text.data(), entry.date_time_text.size()));
    paint_speed(app, surface, held, entry.speed_knots, true);
    paint_heading(app, surface, held, entry.heading_degrees, true);
}

void show_history_entry(const PanelContext& app, Surface& surface, UiServices* ui,
                        const HistoryEntry& entry, int32_t row) {
    const PanelLayout& l = app.panel.layout;
    {
        const SurfaceLock held = lock_surface(surface);
        paint_history_entry(app, surface, held, entry, row);
    }
    request_panel_repaint(ui, readout_column(l));
    request_panel_repaint(ui, l.position_box);
    request_panel_repaint(ui, l.date_time_box);
}

void show_cursor_values(const PanelContext& app, Surface& surface, UiServices* ui, Point p) {
    PingState& ping = app.ping;
    const int32_t x = ping.history_view == 0 ? kHistoryColumns : p.x;
    ping.history_column_offset = x - 1;
    ping.history_row = p.y;
    HistoryEntry entry;
    {
        const ImageLock held = lock_image(app.waterfall);
        entry = read_history_record(ping.column_history,
                                    history_slot_for_column(ping.column_history.history_index, x));
    }
    show_history_entry(app, surface, ui, entry, p.y);
}

void follow_pointer_readouts(const PanelContext& app, Surface& surface, UiServices* ui, Point p) {
    app.panel.mouse_x = p.x;
    app.panel.mouse_y = p.y;
    if (waterfall_hit(p)) {
        app.ping.history_view = 1;
        show_cursor_values(app, surface, ui, p);
    } else if (app.ping.history_view != 0) {
        app.ping.history_view = 0;
        show_cursor_values(app, surface, ui, p);
    }
}

void leave_waterfall_readouts(const PanelContext& app, Surface& surface, UiServices* ui) {
    if (app.ping.history_view == 0) return;
    app.ping.history_view = 0;
    show_cursor_values(app, surface, ui, {app.panel.mouse_x.load(), app.panel.mouse_y.load()});
}

void show_capture_readout(const PanelContext& app, Surface& surface, UiServices* ui) {
    app.panel.capture_redraw = 1;
    app.ping.history_view = 1;
    show_cursor_values(app, surface, ui, {app.panel.mouse_x.load(), app.panel.mouse_y.load()});
    app.panel.capture_redraw = 0;
}

}  // namespace kelvanor
