// The window's input as the program handles it: pointer moves and clicks on the panel and the
// waterfall, keys, the arrow buttons' auto-repeat, and the tool windows' menu items. The
// window only maps its events to these calls and shows what they report.

#include "control/program.h"
#include "panel/panel_buttons.h"
#include "panel/panel_layout.h"
#include "panel/readouts.h"
#include "platform/menu_ids.h"
#include "waterfall/target_measurement.h"

namespace kelvanor {

PointerOutcome Program::pointer_moved(Point p) {
    PointerOutcome outcome;
    if (auto_repeat_running()) {
        app_.panel.mouse_x = p.x;
        app_.panel.mouse_y = p.y;
        const RepeatStep step = panel_auto_repeat_event(panel_context(app_), surface_, &ui_,
                                                        RepeatEvent::PointerMove, p);
        outcome.to_auto_repeat = true;
        outcome.auto_repeat_ended = !step.running;
        return outcome;
    }
    outcome.over_image = waterfall_hit(p);
    if (outcome.over_image && app_.run.zoom_shown && !app_.run.zoom_frozen) {
        outcome.zoom = update_zoom(app_.waterfall, p);
    }
    outcome.image_changed = target_pointer_move(app_, p);
    follow_pointer_readouts(panel_context(app_), surface_, &ui_, p);
    return outcome;
}

PressOutcome Program::left_pressed(Point p) {
    PressOutcome outcome;
    if (auto_repeat_running()) return outcome;
    outcome.taken = true;
    // Zoom: a click freezes or releases the picture.
    if (app_.run.zoom_shown) {
        app_.run.zoom_frozen = !app_.run.zoom_frozen;
        if (!app_.run.zoom_frozen) outcome.zoom = update_zoom(app_.waterfall, p);
    } else {
        app_.run.zoom_frozen = false;
    }
    outcome.image_changed = target_left_click(app_, p);
    outcome.repeat_timer_ms =
        panel_left_button_down(panel_context(app_), surface_, &ui_, *this, p).repeat_timer_ms;
    return outcome;
}

bool Program::left_released(Point p) {
    if (auto_repeat_running()) {
        panel_auto_repeat_event(panel_context(app_), surface_, &ui_, RepeatEvent::ButtonUp, p);
        return true;
    }
    panel_left_button_up(panel_context(app_), surface_, &ui_, p);
    return false;
}

bool Program::right_pressed(Point p) {
    if (auto_repeat_running()) return false;
    app_.panel.mouse_x = p.x;
    app_.panel.mouse_y = p.y;
    return target_right_click(app_, p);
}

RepeatTickOutcome Program::repeat_tick() {
    RepeatTickOutcome outcome;
    if (!auto_repeat_running()) return outcome;
    const RepeatStep step =
        panel_auto_repeat_event(panel_context(app_), surface_, &ui_, RepeatEvent::Timer, pointer());
    outcome.ran = true;
    outcome.running = step.running;
    outcome.restart_timer_ms = step.restart_timer_ms;
    return outcome;
}

void Program::key_char(int character) {
    if (auto_repeat_running()) return;
    panel_key_char(panel_context(app_), surface_, &ui_, *this, character);
}

std::optional<Point> Program::key_pressed(NavigationKey key, Point pointer) {
    if (auto_repeat_running()) return std::nullopt;
    return pointer_after_key_down(app_.run, key, pointer);
}

void Program::key_released() {
    reset_cursor_step(app_.run);
}

bool Program::input_lost() {
    bool ended = false;
    if (auto_repeat_running()) {
        panel_auto_repeat_event(panel_context(app_), surface_, &ui_, RepeatEvent::ButtonUp,
                                pointer());
        ended = true;
    }
    leave_waterfall_readouts(panel_context(app_), surface_, &ui_);
    return ended;
}

void Program::pointer_left_window() {
    leave_waterfall_readouts(panel_context(app_), surface_, &ui_);
}

void Program::show_capture_readout() {
    kelvanor::show_capture_readout(panel_context(app_), surface_, &ui_);
}

std::optional<ZoomView> Program::zoom_to_show() const {
    if (!app_.run.zoom_shown) return std::nullopt;
    return zoom_view(
        Point{app_.waterfall.zoom_centre_x.load(), app_.waterfall.zoom_centre_y.load()});
}

ToolWindowStep Program::toggle_tool_window(int id) {
    SharedBool& shown = id == menu::kDiagnostics ? app_.run.diagnostics_shown : app_.run.zoom_shown;
    if (!shown) {
        shown = true;
        ui_.check_menu_item(id, true);
        return ToolWindowStep::Show;
    }
    // The window's close handling then clears the flag and the mark.
    return ToolWindowStep::Close;
}

void Program::tool_window_closed(int id) {
    SharedBool& shown = id == menu::kDiagnostics ? app_.run.diagnostics_shown : app_.run.zoom_shown;
    shown = false;
    ui_.check_menu_item(id, false);
}

}  // namespace kelvanor
