#include "waterfall/target_measurement.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "waterfall/contact_markers.h"
#include "waterfall/grid.h"
#include "waterfall/image.h"

namespace kelvanor {

namespace {

constexpr std::array<int32_t, 9> kRangeMetresTable{15, 30, 60, 90, 120, 150, 180, 210, 240};
constexpr std::array<int32_t, 9> kRangeFeetTable{50, 100, 200, 300, 400, 500, 600, 700, 800};

// Metres (or feet) per image row per unit of range: 500 rows show the whole range.
constexpr double kRangePerRow = 0.002;

using OverlayLock = std::unique_lock<std::mutex>;

// "%3.1f" without the C library's locale: the Qt program runs under the user's locale, and a
// read-out must not turn into "1,6".
std::string format_one_decimal(float value) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                         static_cast<double>(value), std::chars_format::fixed, 1);
    std::string text = ec == std::errc() ? std::string(buffer.data(), end) : std::string("---");
    if (text.size() < 3) text.insert(0, 3 - text.size(), ' ');
    return text;
}

int32_t range_in_units(int32_t range_metres, LengthUnit units) {
    return units == LengthUnit::Feet ? range_feet_for_metres(range_metres) : range_metres;
}

// Text with a black outline: four dark copies around it, then the light text on top.
void outlined_text(Surface& surface, Point at, const std::string& text) {
    for (const Point d : {Point{-1, -1}, Point{1, -1}, Point{-1, 1}, Point{1, 1}}) {
        surface.text({at.x + d.x, at.y + d.y}, text, kOverlayDark);
    }
    surface.text(at, text, kOverlayLight);
}

// A closed outline through the corners, each segment drawn up to the next corner.
template <size_t N>
void polygon(Surface& surface, const std::array<Point, N>& corners, PaletteIndex colour) {
    for (size_t i = 0; i < N; ++i) surface.line(corners[i], corners[(i + 1) % N], colour);
}

void square(Surface& surface, Point c, int half, PaletteIndex colour) {
    polygon(surface,
            std::array<Point, 4>{Point{c.x - half, c.y - half}, Point{c.x + half, c.y - half},
                                 Point{c.x + half, c.y + half}, Point{c.x - half, c.y + half}},
            colour);
}

void draw_length_marker(Surface& surface, Point c) {
    square(surface, c, 6, kOverlayDark);
    square(surface, c, 4, kOverlayDark);
    const int x = c.x;
    const int y = c.y;
    polygon(surface,
            std::array<Point, 12>{Point{x - 9, y - 1}, Point{x - 1, y - 1}, Point{x - 1, y - 9},
                                  Point{x + 1, y - 9}, Point{x + 1, y - 1}, Point{x + 9, y - 1},
                                  Point{x + 9, y + 1}, Point{x + 1, y + 1}, Point{x + 1, y + 9},
                                  Point{x - 1, y + 9}, Point{x - 1, y + 1}, Point{x - 9, y + 1}},
            kOverlayDark);
    square(surface, c, 5, kOverlayLight);
    surface.line({x - 8, y}, {x + 9, y}, kOverlayLight);
    surface.line({x, y - 8}, {x, y + 9}, kOverlayLight);
}

PaletteIndex line_colour(const Settings& settings) {
    return settings.Colors == ColourTable::ReverseGrey ? kOverlayDark : kOverlayLight;
}

LengthScale length_scale(const Settings& settings, const HeadState& head,
                         int32_t columns_per_mark) {
    LengthScale scale;
    scale.channel_code = settings.channel_code;
    scale.speed_correction = settings.SpeedCorrection;
    scale.columns_per_mark = columns_per_mark;
    scale.range_metres = head.range_metres;
    scale.units = settings.Units;
    return scale;
}

// Surface lock and overlay lock held.
void draw_length_overlay(const TargetOverlays& app, Surface& surface) {
    const TargetState& t = app.target;
    const Point start{t.length_start_x, t.length_start_y};
    const Point end{t.length_end_x, t.length_end_y};
    surface.line(start, end, line_colour(app.settings));
    draw_length_marker(surface, start);
    const std::string text = length_readout_text(
        target_length(start, end, length_scale(app.settings, app.head, app.columns_per_mark)),
        app.settings.Units);
    const Size extent = surface.text_extent(text);
    outlined_text(surface, {end.x - extent.width / 2, end.y - 25}, text);
}

// Surface lock and overlay lock held.
void draw_height_overlay(const TargetOverlays& app, Surface& surface) {
    const TargetState& t = app.target;
    if (!t.height_pointer_seen) return;
    const ChannelCode channel = app.settings.channel_code;
    const int32_t step = app.run.target_height_step;
    const int z = height_zero_row(channel);
    int x = t.height_pointer_x;
    const int y = t.height_pointer_y;
    // Near the top of a layout the labels go below the pointer, so they stay in the image.
    const int offset =
        (channel == ChannelCode::Starboard || (channel == ChannelCode::Both && y > 250)) ? 52 : 0;
    if (step >= 1) {
        x = t.height_target_x;
        const PaletteIndex pen = line_colour(app.settings);
        surface.line({x - 5, z}, {x + 6, z}, pen);
        surface.line({x, y}, {x, z}, pen);
        surface.line({x - 5, y}, {x + 6, y}, pen);
        if (step >= 2) surface.line({x - 5, t.height_bottom_y}, {x + 6, t.height_bottom_y}, pen);
        if (step >= 3) surface.line({x - 5, t.height_shadow_y}, {x + 6, t.height_shadow_y}, pen);
    }

    std::string title;
    std::string lower;
    switch (step) {
        case 1:
            title = "Click on";
            lower = "Bottom Return";
            break;
        case 2:
            title = "Click on";
            lower = "Shadow Start";
            break;
        case 3: {
            title = "Shadow End";
            HeightScale scale;
            scale.channel_code = channel;
            scale.range_metres = app.head.range_metres;
            scale.units = app.settings.Units;
            lower = height_readout_text(
                target_height(t.height_bottom_y, t.height_shadow_y, y, scale), scale.units);
            break;
        }
        default:
            title = "Target Height";
            lower = "Click on Target";
            break;
    }
    const Size lower_extent = surface.text_extent(lower);
    const int lower_top = y + offset - 25;
    outlined_text(surface, {x - lower_extent.width / 2, lower_top}, lower);
    const Size title_extent = surface.text_extent(title);
    outlined_text(surface, {x - title_extent.width / 2, lower_top - lower_extent.height}, title);
}

// Overlay lock held.
void draw_overlays_locked(const TargetOverlays& app, Surface& surface) {
    const bool length = app.run.target_length_mode && app.run.target_length_active;
    const bool height = app.run.target_height_mode;
    const std::vector<PlacedMarker> markers =
        placed_contact_markers(app.target, app.waterfall, app.column_history);
    if (!length && !height && markers.empty()) return;
    std::lock_guard surface_lock(surface.mutex());
    surface.set_clip(kTargetImageArea);
    for (const PlacedMarker& m : markers) draw_contact_marker(surface, m);
    if (length) draw_length_overlay(app, surface);
    if (height) draw_height_overlay(app, surface);
    surface.set_clip(std::nullopt);
}

}  // namespace

int32_t range_feet_for_metres(int32_t range_metres) {
    for (size_t i = 0; i < kRangeMetresTable.size(); ++i) {
        if (kRangeMetresTable[i] == range_metres) return kRangeFeetTable[i];
    }
    // Not a range of the table: the same ratio of 10 feet to 3 metres.
    return range_metres * 10 / 3;
}

int32_t height_zero_row(ChannelCode channel_code) {
    switch (channel_code) {
        case ChannelCode::Starboard:
            return 0;
        case ChannelCode::Port:
            return 499;
        case ChannelCode::Both:
            break;
    }
    return 250;
}

std::optional<float> target_length(Point start, Point end, const LengthScale& scale) {
    if (scale.columns_per_mark <= 0) return std::nullopt;
    const int64_t dx = std::abs(start.x - end.x);
    const int64_t dy = std::abs(start.y - end.y);
    // Rows of one grid division; along-track, one mark interval spans the same distance.
    const int64_t rows_per_division = grid_rows_per_division(scale.channel_code);
    const int64_t dx_rows = scale.speed_correction
                                ? dx * scale.columns_per_mark / rows_per_division
                                : dx * rows_per_division / scale.columns_per_mark;
    const double rows = std::sqrt(static_cast<double>(dx_rows * dx_rows + dy * dy));
    float value =
        static_cast<float>(rows * range_in_units(scale.range_metres, scale.units) * kRangePerRow);
    if (scale.channel_code == ChannelCode::Both) value *= 2.0f;
    return value;
}

std::string length_readout_text(std::optional<float> length, LengthUnit units) {
    const char* unit = units == LengthUnit::Feet ? " FT" : " M";
    return (length ? format_one_decimal(*length) : std::string("---")) + unit;
}

std::optional<float> target_height(int32_t bottom_y, int32_t shadow_start_y, int32_t shadow_end_y,
                                   const HeightScale& scale) {
    const int32_t z = height_zero_row(scale.channel_code);
    const int32_t altitude = std::abs(z - bottom_y);
    const int32_t slant = std::abs(z - shadow_start_y);
    const int32_t shadow = std::abs(shadow_start_y - shadow_end_y);
    if (slant + shadow == 0) return std::nullopt;
    const float rows = static_cast<float>(altitude) * static_cast<float>(shadow) /
                       static_cast<float>(slant + shadow);
    float value = static_cast<float>(
        static_cast<double>(rows) * range_in_units(scale.range_metres, scale.units) * kRangePerRow);
    if (scale.channel_code == ChannelCode::Both) value *= 2.0f;
    return value;
}

std::string height_readout_text(std::optional<float> height, LengthUnit units) {
    const std::string number = height ? format_one_decimal(*height) : std::string("---");
    return units == LengthUnit::Feet ? number + " FT" : "Height = " + number + " M";
}

bool target_right_click(const TargetTools& app, Point p) {
    if (app.half_scale || !kTargetImageArea.contains(p)) return false;
    if (!app.run.target_length_mode) return false;
    OverlayLock lock(app.target.overlay_mutex);
    // Height clicks still pending hold the length tool back only while the height tool is the
    // one in use; the tools exclude each other, so a height measurement left half-done never
    // locks the length tool.
    if (app.run.target_height_mode && app.run.target_height_step != 0) return false;
    TargetState& t = app.target;
    app.run.target_length_active = !app.run.target_length_active;
    if (app.run.target_length_active) {
        t.length_start_x = p.x;
        t.length_start_y = p.y;
        t.completed_length_metres.reset();
    } else {
        LengthScale scale = length_scale(app.settings, app.head, app.columns_per_mark);
        scale.units = LengthUnit::Metres;
        t.completed_length_metres = target_length({t.length_start_x, t.length_start_y}, p, scale);
    }
    t.length_end_x = p.x;
    t.length_end_y = p.y;
    show_image(app.waterfall);
    return true;
}

bool target_left_click(const TargetTools& app, Point p) {
    if (!kTargetImageArea.contains(p)) return false;
    if (!app.run.target_height_mode) return false;
    OverlayLock lock(app.target.overlay_mutex);
    if (app.run.target_length_active) return false;
    TargetState& t = app.target;
    const int32_t step = app.run.target_height_step + 1 > 3 ? 0 : app.run.target_height_step + 1;
    if (step == 0) {
        // The shadow-end click completes the height shown at step 3.
        HeightScale scale;
        scale.channel_code = app.settings.channel_code;
        scale.range_metres = app.head.range_metres;
        t.completed_height_metres = target_height(t.height_bottom_y, t.height_shadow_y, p.y, scale);
    } else if (step == 1) {
        t.completed_height_metres.reset();
    }
    app.run.target_height_step = step;
    if (step == 1) t.height_target_x = p.x;
    if (step == 2) t.height_bottom_y = p.y;
    if (step == 3) t.height_shadow_y = p.y;
    t.height_pointer_x = p.x;
    t.height_pointer_y = p.y;
    t.height_pointer_seen = true;
    show_image(app.waterfall);
    return true;
}

bool target_pointer_move(const TargetTools& app, Point p) {
    if (!kTargetImageArea.contains(p)) return false;
    const bool length = app.run.target_length_mode;
    const bool height = app.run.target_height_mode;
    if (!length && !height) return false;
    OverlayLock lock(app.target.overlay_mutex);
    TargetState& t = app.target;
    bool changed = false;
    if (length && app.run.target_length_active) {
        t.length_end_x = p.x;
        t.length_end_y = p.y;
        changed = true;
    }
    if (height) {
        t.height_pointer_x = p.x;
        t.height_pointer_y = p.y;
        t.height_pointer_seen = true;
        changed = true;
    }
    if (changed) show_image(app.waterfall);
    return changed;
}

void target_tool_changed(const TargetTools& app) {
    OverlayLock lock(app.target.overlay_mutex);
    // A measurement whose tool is off can be neither seen nor ended; left running it would
    // keep refusing the height tool's clicks.
    if (!app.run.target_length_mode) app.run.target_length_active = false;
    show_image(app.waterfall);
}

void draw_target_overlays(const TargetOverlays& app, Surface& surface) {
    OverlayLock lock(app.target.overlay_mutex);
    draw_overlays_locked(app, surface);
}

void blit_image_with_overlays(const TargetOverlays& app, Surface& surface) {
    OverlayLock lock(app.target.overlay_mutex);
    blit_image(app.waterfall, surface);
    draw_overlays_locked(app, surface);
}

}  // namespace kelvanor
