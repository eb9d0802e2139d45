#pragma once
// What the panel shows of ping processing and of the GPS, handed from the thread that
// processed the ping or read the sentence to the GUI thread. Ping processing (the acquisition
// thread in HEAD mode, playback in FILE mode) and the GPS reader never draw the panel: they
// publish the read-outs' values into one PanelSnapshot under the feed's lock, and the
// window's refresh (at most about 60 times a second, the one that shows the waterfall) takes
// a copy and draws what changed, on the GUI thread, under the surface lock. A worker thread
// thus never takes the surface lock for the panel.
//
// Several pings between two refreshes leave the last value of each read-out, drawn in the
// order of their last changes: that is what drawing each of them in turn would have left on
// the screen, also where two overlap (the frequency text's background reaches into the range
// box; the no-data notice lies on the grid label).
//
// Locks: the feed's lock is a leaf. Publishing copies values in and take() copies the
// snapshot out; nothing is drawn and no other lock is taken while it is held.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

#include "panel/panel_paint.h"
#include "ping/readout_state.h"
#include "settings/head_state.h"
#include "waterfall/column_history.h"

namespace kelvanor {

// One bit per read-out in PanelSnapshot::changed.
enum PanelReadout : uint32_t {
    kRangeReadout = 1u << 0,
    kGridLabelReadout = 1u << 1,
    kGainReadout = 1u << 2,
    kFrequencyReadout = 1u << 3,
    kChannelReadout = 1u << 4,
    kBalanceReadout = 1u << 5,
    kDateTimeReadout = 1u << 6,
    kHistoryReadout = 1u << 7,  // the record of the column under the pointer
    kPingIndicator = 1u << 8,   // the head link's marks, drawn by the program (control/)
    kNoDataNotice = 1u << 9,
    kRecPauseFlash = 1u << 10,  // recording's marks, drawn by the program
    kRecPauseBoxErase = 1u << 11,
    kSpeedReadout = 1u << 12,  // the GPS reader's read-outs
    kHeadingReadout = 1u << 13,
    kPositionReadout = 1u << 14,
};
inline constexpr int kPanelReadoutCount = 15;

struct PanelSnapshot {
    uint32_t changed = 0;  // PanelReadout bits: what the next refresh draws
    // Per read-out (by bit number): when it last changed, to draw them in that order.
    std::array<uint32_t, kPanelReadoutCount> changed_at{};
    uint32_t changes = 0;  // counts every change

    // Marks `readouts` changed now.
    void mark(uint32_t readouts);
    // Range, grid label, gain, frequency and channel, from one copy of the settings.
    ReadoutValues values;
    BalanceReadout balance;
    std::array<char, 40> date_time{};  // NUL-terminated
    HistoryEntry history;
    int32_t history_row = 0;
    bool ping_star = false;  // the ping indicator shows its star
    bool no_data_shown = false;
    std::array<char, 32> no_data_text{};  // NUL-terminated
    int32_t rec_pause_flash_phase = 0;
    float speed_knots = 0.0f;
    float heading_degrees = 0.0f;
    std::array<char, kPositionTextSize> position{};
    int32_t gps_blink = 0;  // the position's blink mark: flips with every fix taken
};

class PanelFeed {
  public:
    // Runs change(pending snapshot) under the lock.
    template <class Change>
    void publish(Change&& change) {
        std::lock_guard held(mutex_);
        change(pending_);
    }
    // A copy of the pending snapshot; the pending one's changed bits are cleared.
    PanelSnapshot take();

  private:
    std::mutex mutex_;
    PanelSnapshot pending_;
};

// GUI thread, surface lock held: the read-outs that `snapshot` marks changed, in the order
// they changed, each as the worker would have drawn it; `paint_mark` draws the marks that
// belong to others (ping indicator, no-data notice, REC Pause) in their turn. The live time
// is not drawn while the pointer is over the waterfall, nor the pointer's record once it has
// left: the GUI thread drew what holds now.
void paint_published_readouts(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                              const PanelSnapshot& snapshot,
                              const std::function<void(PanelReadout)>& paint_mark);

}  // namespace kelvanor
