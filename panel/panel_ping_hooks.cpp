#include "panel/panel_ping_hooks.h"

#include "control/app_state.h"
#include "panel/panel_paint.h"
#include "panel/readouts.h"

namespace kelvanor {

void PanelPingHooks::redraw_range_readout() {
    {
        const SurfaceLock held = lock_surface(surface_);
        paint_range_box(app_, surface_, held);
    }
    request_panel_repaint(ui_, app_.panel.layout.range_box);
}

void PanelPingHooks::redraw_grid_label() {
    draw_grid_label(app_, surface_, ui_);
}

void PanelPingHooks::redraw_gain_readout() {
    draw_gain(app_, surface_, ui_);
}

void PanelPingHooks::redraw_frequency_readout() {
    draw_frequency(app_, surface_, ui_);
}

void PanelPingHooks::redraw_channel_readout(const ChannelReadoutState& state) {
    show_channel(app_, surface_, ui_, state);
}

void PanelPingHooks::redraw_balance_readout(const BalanceReadout& readout) {
    {
        const SurfaceLock held = lock_surface(surface_);
        paint_balance(surface_, held, readout);
    }
    request_panel_repaint(ui_, {101, 536, 160, 540 + app_.panel.layout.cy});
}

void PanelPingHooks::show_date_time(std::string_view date_time_text) {
    draw_date_time(app_, surface_, ui_, date_time_text);
}

void PanelPingHooks::show_history_record(const HistoryEntry& entry, int32_t row) {
    show_history_entry(app_, surface_, ui_, entry, row);
}

}  // namespace kelvanor
