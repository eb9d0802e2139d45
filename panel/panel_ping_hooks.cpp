#include "panel/panel_ping_hooks.h"

#include <algorithm>

#include "panel/panel_paint.h"

namespace kelvanor {

template <class More>
void PanelPingHooks::publish(uint32_t readouts, More&& more) {
    // The settings lock is taken and released before the feed's: both are leaves.
    const ReadoutValues values = readout_values(settings_);
    feed_.publish([&](PanelSnapshot& snapshot) {
        snapshot.values = values;
        snapshot.mark(readouts);
        more(snapshot);
    });
    if (published_) published_();
}

void PanelPingHooks::publish(uint32_t readouts) {
    publish(readouts, [](PanelSnapshot&) {});
}

void PanelPingHooks::redraw_range_readout() {
    publish(kRangeReadout);
}

void PanelPingHooks::redraw_grid_label() {
    publish(kGridLabelReadout);
}

void PanelPingHooks::redraw_gain_readout() {
    publish(kGainReadout);
}

void PanelPingHooks::redraw_frequency_readout() {
    publish(kFrequencyReadout);
}

void PanelPingHooks::redraw_channel_readout(const ChannelReadoutState& state) {
    if (state.redraw_grid) redraw_grid_for_channel(waterfall_, settings_);
    publish(kChannelReadout);
}

void PanelPingHooks::redraw_balance_readout(const BalanceReadout& readout) {
    publish(kBalanceReadout, [&](PanelSnapshot& snapshot) { snapshot.balance = readout; });
}

void PanelPingHooks::show_date_time(std::string_view date_time_text) {
    publish(kDateTimeReadout, [&](PanelSnapshot& snapshot) {
        snapshot.date_time.fill('\0');
        std::copy_n(date_time_text.begin(),
                    std::min(date_time_text.size(), snapshot.date_time.size() - 1),
                    snapshot.date_time.begin());
    });
}

void PanelPingHooks::show_history_record(const HistoryEntry& entry, int32_t row) {
    publish(kHistoryReadout, [&](PanelSnapshot& snapshot) {
        snapshot.history = entry;
        snapshot.history_row = row;
    });
}

}  // namespace kelvanor
