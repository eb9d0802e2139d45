#pragma once
// The panel's side of ping processing: the read-out hooks of PingHooks drawn on a surface.
// The application derives its own hooks from this class and adds the rest (recording,
// overlays, the ping indicator). Each method takes the surface lock for itself; ping
// processing calls them from the acquisition thread in HEAD mode.

#include "ping/process_ping.h"
#include "platform/surface.h"
#include "platform/ui_services.h"

namespace kelvanor {

class PanelPingHooks : public PingHooks {
  public:
    PanelPingHooks(AppState& app, Surface& surface, UiServices* ui)
        : app_(app), surface_(surface), ui_(ui) {}

    void redraw_range_readout() override;
    void redraw_grid_label() override;
    void redraw_gain_readout() override;
    void redraw_frequency_readout() override;
    void redraw_channel_readout(const ChannelReadoutState& state) override;
    void redraw_balance_readout(const BalanceReadout& readout) override;
    void show_date_time(std::string_view date_time_text) override;
    void show_history_record(const HistoryEntry& entry, int32_t row) override;

  protected:
    AppState& app_;
    Surface& surface_;
    UiServices* ui_;
};

}  // namespace kelvanor
