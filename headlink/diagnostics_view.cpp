#include "headlink/diagnostics_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace kelvanor {

namespace {

constexpr PaletteIndex kBackground = 122;
constexpr PaletteIndex kText = 125;
constexpr uint8_t kSideScanId = 0x10;

template <class... Args>
std::string format(const char* pattern, Args... args) {
    char text[48];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

ReplyHeaderCopy copy_of(const HeadState& head) {
    ReplyHeaderCopy copy;
    std::memcpy(copy.header.data(), head.head_reply.data(), copy.header.size());
    const int32_t length = head.reply_length;
    copy.reply_length = length;
    if (length >= 1 && static_cast<size_t>(length) <= head.head_reply.size()) {
        copy.terminator = head.head_reply[static_cast<size_t>(length) - 1];
    }
    return copy;
}

}  // namespace

void publish_reply_copy(const HeadState& head, HeadLinkState& link) {
    const ReplyHeaderCopy copy = copy_of(head);
    std::lock_guard held(link.reply_copy_mutex);
    link.reply_copy = copy;
}

DiagnosticsSnapshot take_diagnostics_snapshot(const DiagnosticsSources& app) {
    DiagnosticsSnapshot s;
    if (app.link.acquisition_running == 1) {
        std::lock_guard held(app.link.reply_copy_mutex);
        s.reply = app.link.reply_copy;
    } else {
        s.reply = copy_of(app.head);
    }
    s.reply_type = app.ping.reply_type;
    s.units = app.settings.Units;
    s.ss_delay = app.settings.SSDelay;
    s.delay_loops_per_second = app.run.delay_loops_per_second;
    s.ping_interval_text = ping_interval_text(app.ping);
    s.ping_interval_text.back() = '\0';
    s.lines_per_ping = app.ping.lines_per_ping;
    s.columns_per_mark = app.ping.columns_per_mark;
    s.speed_knots = app.run.speed_knots;
    s.head_missing = app.link.acquisition_running == 1 && app.link.device_missing == 1;
    s.gps_missing = app.gps_missing;
    return s;
}

std::array<std::string, kDiagnosticsRows> diagnostics_labels() {
    return {"Head ID",    "Header",    "Status",     "Range",     "Type",
            "Data Bytes", "Term",      "Switch Del", "Delay Cnt", "PRF",
            "lines/shot", "at_marker", "speed",      "Missing"};
}

std::string diagnostics_range_text(int32_t range_metres, LengthUnit units) {
    if (units != LengthUnit::Feet) return format("%d M", static_cast<int>(range_metres));
    static constexpr int32_t kMetres[] = {15, 30, 60, 90, 120, 150, 180, 210, 240};
    static constexpr int32_t kFeet[] = {50, 100, 200, 300, 400, 500, 600, 700, 800};
    for (size_t i = 0; i < std::size(kMetres); ++i) {
        if (kMetres[i] == range_metres) return format("%d FT", static_cast<int>(kFeet[i]));
    }
    return "??? FT";
}

std::array<std::string, kDiagnosticsRows> diagnostics_values(const DiagnosticsSnapshot& s) {
    std::array<std::string, kDiagnosticsRows> v;
    const auto& h = s.reply.header;
    if (s.has_reply()) {
        v[0] = format("0x%02X", h[3]);
        v[1] = format("%c%c%c", h[0], h[1], h[2]);
        v[2] = format("0x%02X", h[4]);
        v[3] = diagnostics_range_text(h[7], s.units);
        v[4] = s.reply_type == 1 ? "Dual" : "Single";
        v[5] = format("%d", (h[11] & 0x7F) * 128 + (h[10] & 0x7F));
        v[6] = format("0x%02X", s.reply.terminator);
        if (h[3] == kSideScanId) {
            v[9] = std::string(s.ping_interval_text.data(),
                               strnlen(s.ping_interval_text.data(), s.ping_interval_text.size()));
        }
    } else {
        for (int row = 0; row < 7; ++row) v[static_cast<size_t>(row)] = "n/a";
    }
    v[7] = format("%d", static_cast<int>(s.ss_delay));
    v[8] = format("%d", static_cast<int>(s.delay_loops_per_second));
    v[10] = format("%3.2f", static_cast<double>(s.lines_per_ping));
    v[11] = format("%d", static_cast<int>(s.columns_per_mark));
    v[12] = format("%3.1f KTS", static_cast<double>(s.speed_knots));
    v[13] = s.head_missing ? (s.gps_missing ? "BOTH" : "HEAD") : (s.gps_missing ? "GPS" : "none");
    return v;
}

Rect DiagnosticsLayout::value_box(int row) const {
    const int top = row_top(row);
    return {value_left, top, value_right, top + font.char_height};
}

DiagnosticsLayout diagnostics_layout(const FontMetrics& font, const Surface& measure) {
    constexpr int kMinWindowWidth = 170;
    constexpr int kGap = 4;
    auto width = [&measure](std::string_view text) { return measure.text_extent(text).width; };
    int widest_label = 0;
    for (const std::string& label : diagnostics_labels()) {
        widest_label = std::max(widest_label, width(label));
    }
    // The widest values a row can show: a ten-digit delay count, the feet of an unknown
    // range, the fastest speed.
    int widest_value = 0;
    for (const char* value : {"2147483647", "??? FT", "800 FT", "10.0 KTS", "Single"}) {
        widest_value = std::max(widest_value, width(value));
    }
    DiagnosticsLayout l;
    l.font = font;
    l.dash_x = std::max(6 * font.char_width + 10, 10 + widest_label + kGap);
    l.value_left = std::max(7 * font.char_width + 11, l.dash_x + width("-") + kGap);
    l.value_right = l.value_left + std::max(6 * font.char_width, widest_value + 2 * kGap);
    l.window = {std::max({15 * font.char_width, l.value_right + 5, kMinWindowWidth}),
                15 * font.char_height + 2};
    return l;
}

void draw_diagnostics(Surface& surface, const DiagnosticsLayout& layout,
                      const DiagnosticsSnapshot& s, bool full) {
    if (full) {
        const Size size = surface.size();
        surface.fill_rect({0, 0, size.width, size.height}, kBackground);
        const auto labels = diagnostics_labels();
        for (int row = 0; row < kDiagnosticsRows; ++row) {
            const int y = layout.row_top(row);
            surface.text({10, y}, labels[static_cast<size_t>(row)], kText);
            surface.text({layout.dash_x, y}, "-", kText);
        }
    }
    const auto values = diagnostics_values(s);
    for (int row = 0; row < kDiagnosticsRows; ++row) {
        const Rect box = layout.value_box(row);
        surface.fill_rect(box, kBackground);
        const std::string& value = values[static_cast<size_t>(row)];
        if (value.empty()) continue;
        // The ping interval is left out rather than spill over the box's edge.
        if (row == 9 && 4 + surface.text_extent(value).width >= box.width()) continue;
        surface.text({box.left + 4, box.top}, value, kText);
    }
}

}  // namespace kelvanor
