#pragma once
// The panel's buttons: which one a click hits, and what it does. The window turns its mouse
// events and its repeat timer into these calls; the drawing and the state changes happen
// here.
//
// A gain or plot speed button auto-repeats while held: one step at the press, the next after
// 500 ms, then one every 50 ms, until the button comes up, the pointer leaves the button's
// rectangle or the limit is reached. The window starts its repeat timer with the period a
// call returns and sends every timer tick, pointer move and the button-up to
// panel_auto_repeat_event until that reports the end. Other input is not processed meanwhile.

#include <cstdint>

#include "panel/panel_hooks.h"
#include "panel/panel_paint.h"
#include "panel/panel_state.h"

namespace kelvanor {

// The control a click at client point p hits, by geometry alone. The Hold and REC Pause
// boxes and the buttons given by corner and size are hit strictly inside their border; the
// gain and plot speed arrows as rectangles (left <= x < right).
PanelButton panel_button_at(const PanelLayout& layout, Point p);

// Arrow handlers. With kArrowPressed: the pressed look and one step within the bound, then
// the redraw that follows the change (range: clear the line history, the grid label with the
// grid on, the range box; gain box; channel box; plot speed bar). With kArrowReleased: only
// the released look.
void range_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
void range_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
void gain_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
void gain_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
void channel_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
void channel_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
void plot_speed_up(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
void plot_speed_down(const PanelContext& app, Surface& surface, UiServices* ui, int32_t state);
// The handler of any arrow button (others are ignored).
void run_arrow_handler(const PanelContext& app, Surface& surface, UiServices* ui,
                       PanelButton button, int32_t state);

struct PanelClick {
    PanelButton button = PanelButton::None;  // what the click acted on (None: nothing)
    // Above 0: an auto-repeat began; start the repeat timer with this period.
    int32_t repeat_timer_ms = 0;
};

// Left button down at p, the panel's steps: Hold box, REC Pause box (HEAD mode while
// recording), then, unless Hold is on, the DATA FROM buttons, the range and gain arrows
// (HEAD mode), the channel arrows, the plot speed arrows (FILE mode).
PanelClick panel_left_button_down(const PanelContext& app, Surface& surface, UiServices* ui,
                                  PanelHooks& hooks, Point p);
// Left button up at p: a range (HEAD mode) or channel arrow under it is drawn released.
void panel_left_button_up(const PanelContext& app, Surface& surface, UiServices* ui, Point p);

enum class RepeatEvent { Timer, PointerMove, ButtonUp };

struct RepeatStep {
    bool running = false;          // false: the repeat ended; stop the timer
    int32_t restart_timer_ms = 0;  // above 0: restart the repeat timer with this period
};

// One event while an auto-repeat runs (pointer in client coordinates; for a timer tick the
// last known one is used when p is not given).
RepeatStep panel_auto_repeat_event(const PanelContext& app, Surface& surface, UiServices* ui,
                                   RepeatEvent event, Point p);

// Whether the limit that ends an auto-repeat of `button` is reached.
bool auto_repeat_limit_reached(const PanelContext& app, PanelButton button);

}  // namespace kelvanor
