#include "panel/panel_feed.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "panel/readouts.h"

namespace kelvanor {

PanelSnapshot PanelFeed::take() {
    std::lock_guard held(mutex_);
    PanelSnapshot copy = pending_;
    pending_.changed = 0;
    return copy;
}

void PanelSnapshot::mark(uint32_t readouts) {
    ++changes;
    changed |= readouts;
    for (int bit = 0; bit < kPanelReadoutCount; ++bit) {
        if (readouts & (1u << bit)) changed_at[static_cast<size_t>(bit)] = changes;
    }
}

namespace {

void paint_readout(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                   const PanelSnapshot& snapshot, PanelReadout readout,
                   const std::function<void(PanelReadout)>& paint_mark) {
    const PanelLayout& layout = app.panel.layout;
    const ReadoutValues& values = snapshot.values;
    switch (readout) {
        case kRangeReadout:
            paint_range_box(layout, values, surface, held);
            break;
        case kGainReadout:
            paint_gain_box(layout, values, surface, held);
            break;
        case kFrequencyReadout:
            paint_frequency(values, surface, held);
            break;
        case kChannelReadout:
            paint_channel_box(layout, values, surface, held);
            break;
        case kBalanceReadout:
            paint_balance(surface, held, snapshot.balance);
            break;
        case kGridLabelReadout:
            paint_grid_label(app, values, surface, held);
            break;
        case kDateTimeReadout:
            if (app.ping.history_view == 0) {
                const auto& text = snapshot.date_time;
                paint_date_time(app, surface, held,
                                std::string_view(text.data(), strnlen(text.data(), text.size())));
            }
            break;
        case kHistoryReadout:
            if (app.ping.history_view == 1) {
                paint_history_entry(app, surface, held, snapshot.history, snapshot.history_row);
            }
            break;
        case kSpeedReadout:
            paint_speed(app, surface, held, snapshot.speed_knots, false);
            break;
        case kHeadingReadout:
            paint_heading(app, surface, held, snapshot.heading_degrees, false);
            break;
        case kPositionReadout:
            paint_gps_fix(app, surface, held, snapshot.position, snapshot.gps_blink);
            break;
        default:
            if (paint_mark) paint_mark(readout);
            break;
    }
}

}  // namespace

void paint_published_readouts(const PanelContext& app, Surface& surface, const SurfaceLock& held,
                              const PanelSnapshot& snapshot,
                              const std::function<void(PanelReadout)>& paint_mark) {
    std::array<int, kPanelReadoutCount> bits{};
    int count = 0;
    for (int bit = 0; bit < kPanelReadoutCount; ++bit) {
        if (snapshot.changed & (1u << bit)) bits[static_cast<size_t>(count++)] = bit;
    }
    std::sort(bits.begin(), bits.begin() + count, [&snapshot](int a, int b) {
        return snapshot.changed_at[static_cast<size_t>(a)] <
               snapshot.changed_at[static_cast<size_t>(b)];
    });
    for (int i = 0; i < count; ++i) {
        paint_readout(app, surface, held, snapshot,
                      static_cast<PanelReadout>(1u << bits[static_cast<size_t>(i)]), paint_mark);
    }
}

}  // namespace kelvanor
