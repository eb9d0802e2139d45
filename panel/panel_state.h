#pragma once
// The panel's state: its layout, the pointer, the arrow buttons' looks and auto-repeat, and
// the last-shown copies that let a read-out redraw only when its value changed.
//
// Threads: the read-outs are drawn from the GUI thread (also what ping processing published,
// at the window's refresh: panel/panel_feed.h) and the GPS reader. Every last-shown copy is
// read and written only while the surface lock is held (every panel drawing function holds
// it while it compares and draws), so they are plain fields. The pointer, arrow and auto-repeat
// fields belong to the GUI thread; mouse_x and mouse_y are also read by ping processing and are
// Shared.

#include <array>
#include <cstdint>
#include <optional>

#include "panel/panel_layout.h"
#include "settings/settings.h"

namespace kelvanor {

// Which panel control a click hit.
enum class PanelButton {
    None,
    HoldBox,
    RecPauseBox,
    HeadButton,
    FileButton,
    RangeUp,
    RangeDown,
    GainUp,
    GainDown,
    ChannelUp,
    ChannelDown,
    PlotSpeedUp,
    PlotSpeedDown,
};

// Draw state of an arrow button.
inline constexpr int32_t kArrowPressed = 0;
inline constexpr int32_t kArrowReleased = 1;

// Auto-repeat periods: the second step after half a second, then one every 50 ms.
inline constexpr int32_t kRepeatFirstDelayMs = 500;
inline constexpr int32_t kRepeatDelayMs = 50;

struct ArrowStates {
    int32_t range_up_state = kArrowReleased;
    int32_t range_down_state = kArrowReleased;
    int32_t gain_up_state = kArrowReleased;
    int32_t gain_down_state = kArrowReleased;
    int32_t train_up_state = kArrowReleased;
    int32_t train_down_state = kArrowReleased;
    int32_t plot_up_state = kArrowReleased;
    int32_t plot_down_state = kArrowReleased;
};

// The draw state of an arrow button (the plot-speed-down one for any other button).
inline int32_t& arrow_state(ArrowStates& arrows, PanelButton button) {
    switch (button) {
        case PanelButton::RangeUp:
            return arrows.range_up_state;
        case PanelButton::RangeDown:
            return arrows.range_down_state;
        case PanelButton::GainUp:
            return arrows.gain_up_state;
        case PanelButton::GainDown:
            return arrows.gain_down_state;
        case PanelButton::ChannelUp:
            return arrows.train_up_state;
        case PanelButton::ChannelDown:
            return arrows.train_down_state;
        case PanelButton::PlotSpeedUp:
            return arrows.plot_up_state;
        default:
            return arrows.plot_down_state;
    }
}

// A gain or plot speed button held down.
struct AutoRepeat {
    PanelButton button = PanelButton::None;  // None: no repeat running
    bool step_due = false;
    Point pointer;
};

struct PanelState {
    PanelLayout layout = compute_panel_layout(FontMetrics{});

    // Last pointer position in client coordinates (pointer moves and right clicks).
    SharedInt mouse_x = 0;
    SharedInt mouse_y = 0;

    ArrowStates arrows;
    int32_t repeat_delay_ms = kRepeatFirstDelayMs;
    AutoRepeat repeat;

    // Last-shown copies (surface lock). Empty optionals: nothing shown yet.
    std::optional<float> speed_shown;
    std::optional<int32_t> heading_shown;
    std::array<char, 40> date_time_shown{};
    std::array<char, 24> line_position_shown{};
    bool line_position_na = false;  // the played-line position read-out shows "N/A"
    int32_t gps_blink = 0;

    // Set while the screen capture redraws everything: the shortcuts of the line-position
    // read-out are skipped.
    SharedInt capture_redraw = 0;
};

}  // namespace kelvanor
