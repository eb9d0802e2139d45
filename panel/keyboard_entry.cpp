#include "panel/keyboard_entry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

#include "waterfall/image.h"

namespace kelvanor {

namespace {

constexpr int kEnter = 13;
constexpr int kEscape = 27;
constexpr float kCursorStepGrowth = 0.5f;
constexpr float kCursorStepMax = 16.0f;

bool entry_running(const PanelContext& app) {
    return app.run.entry_kind != kEntryKindNone;
}

int32_t entry_value(const RunState& run) {
    int32_t value = 0;
    const int count = std::clamp<int32_t>(run.entry_count, 0, kEntryMaxDigits);
    for (int i = 0; i < count; ++i) value = value * 10 + (run.entry_digits[i] - '0');
    return value;
}

void start_entry(const PanelContext& app, Surface& surface, UiServices* ui, int32_t kind) {
    cancel_entry(app, surface, ui);
    app.run.entry_kind = kind;
    draw_entry_box(app, surface, ui, true);
}

}  // namespace

std::optional<int32_t> range_index_for_entry(LengthUnit units, int32_t value) {
    static constexpr std::array<int32_t, 5> kMetres = {15, 30, 60, 90, 120};
    static constexpr std::array<int32_t, 5> kFeet = {50, 100, 200, 300, 400};
    const auto& table = units == LengthUnit::Feet ? kFeet : kMetres;
    const auto it = std::find(table.begin(), table.end(), value);
    if (it == table.end()) return std::nullopt;
    return static_cast<int32_t>(it - table.begin());
}

void cancel_entry(const PanelContext& app, Surface& surface, UiServices* ui) {
    app.run.entry_count = 0;
    app.run.entry_digits = {};
    app.run.entry_kind = kEntryKindNone;
    draw_entry_box(app, surface, ui, false);
}

void accept_entry(const PanelContext& app, Surface& surface, UiServices* ui, PanelHooks& hooks) {
    Settings& s = app.settings;
    if (app.run.entry_count > 0) {
        const int32_t value = entry_value(app.run);
        if (app.run.entry_kind == kEntryKindRange) {
            {
                std::lock_guard held(s.lock);
                if (const auto index = range_index_for_entry(s.Units, value)) s.SSRange = *index;
                if (s.SSRange > s.max_range_index) s.SSRange = s.max_range_index.load();
            }
            clear_line_history(app.waterfall);
            if (s.Grid) draw_grid_label(app, surface, ui);
            draw_range(app, surface, ui);
        } else if (app.run.entry_kind == kEntryKindGain && value >= 0 && value <= 40) {
            s.SSGain = value;
            draw_gain(app, surface, ui);
        }
    }
    cancel_entry(app, surface, ui);
    // The prompt covered the REC Pause box.
    if (app.run.recording) hooks.draw_rec_pause();
}

bool panel_key_char(const PanelContext& app, Surface& surface, UiServices* ui, PanelHooks& hooks,
                    int character) {
    const int c = static_cast<signed char>(character);
    const bool head_mode = app.settings.RunMode == RunMode::Head;
    switch (c) {
        case 'G':
        case 'g':
            if (!head_mode) return false;
            start_entry(app, surface, ui, kEntryKindGain);
            return true;
        case 'R':
        case 'r':
            if (!head_mode) return false;
            start_entry(app, surface, ui, kEntryKindRange);
            return true;
        case 'H':
        case 'h':
            toggle_hold(app, surface, ui);
            return true;
        case 'P':
        case 'p':
            if (!head_mode || !app.run.recording) return false;
            hooks.toggle_rec_pause();
            return true;
        case kEnter:
            if (!head_mode || !entry_running(app)) return false;
            accept_entry(app, surface, ui, hooks);
            return true;
        case kEscape:
            if (!head_mode || !entry_running(app)) return false;
            cancel_entry(app, surface, ui);
            return true;
        default:
            break;
    }
    if (c < '0' || c > '9' || !head_mode || !entry_running(app)) return false;
    RunState& run = app.run;
    const int32_t count = run.entry_count;
    if (count >= 0 && count < kEntryMaxDigits) {
        run.entry_digits[static_cast<size_t>(count)] = static_cast<char>(c);
        run.entry_count = count + 1;
    }
    draw_entry_box(app, surface, ui, true);
    return true;
}

std::optional<Point> pointer_after_key_down(RunState& run, NavigationKey key, Point pointer) {
    std::optional<Point> moved;
    const float step = run.cursor_step;
    const auto shift = [step](int value, float sign) {
        return static_cast<int>(std::trunc(static_cast<float>(value) + sign * step));
    };
    switch (key) {
        case NavigationKey::Left:
            moved = Point{shift(pointer.x, -1.0f), pointer.y};
            break;
        case NavigationKey::Right:
            moved = Point{shift(pointer.x, 1.0f), pointer.y};
            break;
        case NavigationKey::Up:
            moved = Point{pointer.x, shift(pointer.y, -1.0f)};
            break;
        case NavigationKey::Down:
            moved = Point{pointer.x, shift(pointer.y, 1.0f)};
            break;
        case NavigationKey::Other:
            break;
    }
    run.cursor_step = std::min(run.cursor_step + kCursorStepGrowth, kCursorStepMax);
    return moved;
}

void reset_cursor_step(RunState& run) {
    run.cursor_step = 1.0f;
}

}  // namespace kelvanor
