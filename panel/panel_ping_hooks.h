#pragma once
// The panel's side of ping processing: the read-out hooks of PingHooks. They draw nothing:
// each publishes the read-out's value into the panel feed (panel/panel_feed.h) and then calls
// `published`, which asks the window for a refresh; the GUI thread draws it there. So ping
// processing, on the acquisition thread in HEAD mode, never takes the surface lock for the
// panel. The grid lines of a channel change are part of the image and move at once.
// The application derives its own hooks from this class and adds the rest (recording,
// overlays, the ping indicator).

#include <functional>

#include "panel/panel_feed.h"
#include "ping/process_ping.h"
#include "settings/settings.h"
#include "waterfall/waterfall_state.h"

namespace kelvanor {

class PanelPingHooks : public PingHooks {
  public:
    // The read-outs are published from `settings`; a channel change redraws the grid lines
    // of `waterfall`.
    PanelPingHooks(const Settings& settings, WaterfallState& waterfall, PanelFeed& feed,
                   std::function<void()> published)
        : settings_(settings),
          waterfall_(waterfall),
          feed_(feed),
          published_(std::move(published)) {}

    void redraw_range_readout() override;
    void redraw_grid_label() override;
    void redraw_gain_readout() override;
    void redraw_frequency_readout() override;
    void redraw_channel_readout(const ChannelReadoutState& state) override;
    void redraw_balance_readout(const BalanceReadout& readout) override;
    void show_date_time(std::string_view date_time_text) override;
    void show_history_record(const HistoryEntry& entry, int32_t row) override;

  protected:
    // Marks `readouts` changed with the settings as they are now, applies `more` to the
    // snapshot, all under the feed's lock, then calls `published`.
    template <class More>
    void publish(uint32_t readouts, More&& more);
    void publish(uint32_t readouts);

    const Settings& settings_;
    WaterfallState& waterfall_;
    PanelFeed& feed_;
    std::function<void()> published_;
};

}  // namespace kelvanor
