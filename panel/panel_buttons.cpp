#include "panel/panel_buttons.h"

#include <mutex>
#include <optional>

#include "waterfall/image.h"

namespace kelvanor {

namespace {

// The channel selection one step up (Stbd, Both, Port) or down, or nothing past either end.
std::optional<ChannelSelection> channel_step(ChannelSelection train, int step) {
    constexpr ChannelSelection kOrder[] = {ChannelSelection::Starboard, ChannelSelection::Both,
                                           ChannelSelection::Port};
    const int at = static_cast<int>(train) + step;
    if (at < 0 || at > 2) return std::nullopt;
    return kOrder[at];
}

bool strictly_inside(Rect r, Point p) {
    return r.left < p.x && p.x < r.right && r.top < p.y && p.y < r.bottom;
}

bool is_arrow(PanelButton b) {
    return b == PanelButton::RangeUp || b == PanelButton::RangeDown || b == PanelButton::GainUp ||
           b == PanelButton::GainDown || b == PanelButton::ChannelUp ||
           b == PanelButton::ChannelDown || b == PanelButton::PlotSpeedUp ||
           b == PanelButton::PlotSpeedDown;
}

bool is_auto_repeat(PanelButton b) {
    return b == PanelButton::GainUp || b == PanelButton::GainDown ||
           b == PanelButton::PlotSpeedUp || b == PanelButton::PlotSpeedDown;
}

// One step within the button's bound; true when the value changed.
bool step(Settings& s, PanelButton button) {
    switch (button) {
        case PanelButton::RangeUp: {
            // Against the limit the frequency rule may be changing on the acquisition thread.
            std::lock_guard held(s.lock);
            if (s.SSRange < s.max_range_index) return ++s.SSRange, true;
            return false;
        }
        case PanelButton::RangeDown: {
            std::lock_guard held(s.lock);
            if (s.SSRange > 0) return --s.SSRange, true;
            return false;
        }
        case PanelButton::GainUp:
            if (s.SSGain < 40) return ++s.SSGain, true;
            return false;
        case PanelButton::GainDown:
            if (s.SSGain > 0) return --s.SSGain, true;
            return false;
        case PanelButton::ChannelUp:
            if (const auto next = channel_step(s.SSTrain, +1)) return s.SSTrain = *next, true;
            return false;
        case PanelButton::ChannelDown:
            if (const auto next = channel_step(s.SSTrain, -1)) return s.SSTrain = *next, true;
            return false;
        case PanelButton::PlotSpeedUp:
            if (s.PlotSpeed <= 90) return s.PlotSpeed += 10, true;
            return false;
        case PanelButton::PlotSpeedDown:
            if (s.PlotSpeed >= 10) return s.PlotSpeed -= 10, true;
            return false;
        default:
            return false;
    }
}

PanelClick begin_auto_repeat(const PanelContext& app, Surface& surface, UiServices* ui,
                             PanelButton button, Point p) {
    PanelState& panel = app.panel;
    panel.repeat = AutoRepeat{button, true, p};
    PanelClick click{button, 0};
    // The first step at once; the timer then brings the second after the rest period.
    panel.repeat.step_due = false;
    run_arrow_handler(app, surface, ui, button, kArrowPressed);
    click.repeat_timer_ms = panel.repeat_delay_ms;
    panel.repeat_delay_ms = kRepeatDelayMs;
    return click;
}

}  // namespace

PanelButton panel_button_at(const PanelLayout& l, Point p) {
    if (strictly_inside(l.hold_box, p)) return PanelButton::HoldBox;
    if (strictly_inside(l.rec_pause_box, p)) return PanelButton::RecPauseBox;
    if (l.file_button.hit(p)) return PanelButton::FileButton;
    if (l.head_button.hit(p)) return PanelButton::HeadButton;
    if (l.arrow_hit(l.range_up_button, p)) return PanelButton::RangeUp;
    if (l.arrow_hit(l.range_down_button, p)) return PanelButton::RangeDown;
    if (l.gain_up_rect.contains(p)) return PanelButton::GainUp;
    if (l.gain_down_rect.contains(p)) return PanelButton::GainDown;
    if (l.arrow_hit(l.train_up_button, p)) return PanelButton::ChannelUp;
    if (l.arrow_hit(l.train_down_button, p)) return PanelButton::ChannelDown;
    if (l.plot_up_rect.contains(p)) return PanelButton::PlotSpeedUp;
    if (l.plot_down_rect.contains(p)) return PanelButton::PlotSpeedDown;
    return PanelButton::None;
}

void run_arrow_handler(const PanelContext& app, Surface& surface, UiServices* ui,
                       PanelButton button, int32_t state) {
    if (!is_arrow(button)) return;
    const int32_t look = state == kArrowPressed ? kArrowPressed : kArrowReleased;
    arrow_state(app.panel.arrows, button) = look;
    {
        const SurfaceLock held = lock_surface(surface);
        paint_arrow(app, surface, held, button, look);
    }
    request_panel_repaint(ui, arrow_button_rect(app.panel.layout, button));
    if (look == kArrowReleased || !step(app.settings, button)) return;

    switch (button) {
        case PanelButton::RangeUp:
        case PanelButton::RangeDown:
            clear_line_history(app.waterfall);
            if (app.settings.Grid) draw_grid_label(app, surface, ui);
            draw_range(app, surface, ui);
            break;
        case PanelButton::GainUp:
        case PanelButton::GainDown:
            draw_gain(app, surface, ui);
            break;
        case PanelButton::ChannelUp:
        case PanelButton::ChannelDown:
            draw_channel(app, surface, ui);
            break;
        default:
            draw_plot_speed_bar(app, surface, ui);
            break;
    }
}

void range_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::RangeUp, state);
}
void range_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::RangeDown, state);
}
void gain_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::GainUp, state);
}
void gain_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::GainDown, state);
}
void channel_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::ChannelUp, state);
}
void channel_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::ChannelDown, state);
}
void plot_speed_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::PlotSpeedUp, state);
}
void plot_speed_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state) {
    run_arrow_handler(app, surface, ui, PanelButton::PlotSpeedDown, state);
}

PanelClick panel_left_button_down(const PanelContext& app, Surface& surface, UiServices* ui,
                                  PanelHooks& hooks, Point p) {
    const PanelButton button = panel_button_at(app.panel.layout, p);
    const bool head_mode = app.settings.RunMode == RunMode::Head;
    switch (button) {
        case PanelButton::HoldBox:
            toggle_hold(app, surface, ui);
            return {button, 0};
        case PanelButton::RecPauseBox:
            if (head_mode && app.run.recording) {
                hooks.toggle_rec_pause();
                return {button, 0};
            }
            return {};
        case PanelButton::None:
            return {};
        default:
            break;
    }
    // During Hold no other panel button reacts.
    if (app.run.hold) return {};

    switch (button) {
        case PanelButton::FileButton:
            draw_data_from_buttons(app, surface, ui, RunMode::File);
            hooks.select_data_source(RunMode::File);
            return {button, 0};
        case PanelButton::HeadButton:
            draw_data_from_buttons(app, surface, ui, RunMode::Head);
            hooks.select_data_source(RunMode::Head);
            return {button, 0};
        case PanelButton::RangeUp:
        case PanelButton::RangeDown:
            if (!head_mode) return {};
            run_arrow_handler(app, surface, ui, button, kArrowPressed);
            return {button, 0};
        case PanelButton::GainUp:
        case PanelButton::GainDown:
            if (!head_mode) return {};
            return begin_auto_repeat(app, surface, ui, button, p);
        case PanelButton::ChannelUp:
        case PanelButton::ChannelDown:
            run_arrow_handler(app, surface, ui, button, kArrowPressed);
            return {button, 0};
        case PanelButton::PlotSpeedUp:
        case PanelButton::PlotSpeedDown:
            if (head_mode) return {};
            return begin_auto_repeat(app, surface, ui, button, p);
        default:
            return {};
    }
}

void panel_left_button_up(const PanelContext& app, Surface& surface, UiServices* ui, Point p) {
    const PanelLayout& l = app.panel.layout;
    if (app.settings.RunMode == RunMode::Head) {
        if (l.arrow_hit(l.range_up_button, p)) range_up(app, surface, ui, kArrowReleased);
        if (l.arrow_hit(l.range_down_button, p)) range_down(app, surface, ui, kArrowReleased);
    }
    if (l.arrow_hit(l.train_up_button, p)) channel_up(app, surface, ui, kArrowReleased);
    if (l.arrow_hit(l.train_down_button, p)) channel_down(app, surface, ui, kArrowReleased);
}

bool auto_repeat_limit_reached(const PanelContext& app, PanelButton button) {
    const Settings& s = app.settings;
    switch (button) {
        case PanelButton::GainUp:
            return s.SSGain >= 40;
        case PanelButton::GainDown:
            return s.SSGain <= 0;
        case PanelButton::PlotSpeedUp:
            return s.PlotSpeed >= 100;
        case PanelButton::PlotSpeedDown:
            return s.PlotSpeed <= 0;
        default:
            return true;
    }
}

RepeatStep panel_auto_repeat_event(const PanelContext& app, Surface& surface, UiServices* ui,
                                   RepeatEvent event, Point p) {
    PanelState& panel = app.panel;
    AutoRepeat& repeat = panel.repeat;
    if (!is_auto_repeat(repeat.button)) return {};
    if (event == RepeatEvent::Timer) {
        repeat.step_due = true;
    } else {
        repeat.pointer = p;
    }
    const Rect area = arrow_button_rect(panel.layout, repeat.button);
    if (event == RepeatEvent::ButtonUp || auto_repeat_limit_reached(app, repeat.button) ||
        !area.contains(repeat.pointer)) {
        const PanelButton button = repeat.button;
        repeat = AutoRepeat{};
        run_arrow_handler(app, surface, ui, button, kArrowReleased);
        panel.repeat_delay_ms = kRepeatFirstDelayMs;
        return {};
    }
    if (!repeat.step_due) return {true, 0};
    repeat.step_due = false;
    run_arrow_handler(app, surface, ui, repeat.button, kArrowPressed);
    const int32_t period = panel.repeat_delay_ms;
    panel.repeat_delay_ms = kRepeatDelayMs;
    return {true, period};
}

}  // namespace kelvanor
