#include "control/panel_gps_hooks.h"

#include "control/app_state.h"

namespace kelvanor {

GpsReadoutHooks panel_gps_hooks(AppState& app, PanelFeed& feed, std::function<void()> published) {
    GpsReadoutHooks hooks;
    hooks.draw_position = [&app, &feed, published] {
        std::array<char, kPositionTextSize> position{};
        {
            std::lock_guard lock(app.head.position_text_lock);
            position = app.head.position_text;
        }
        feed.publish([&position](PanelSnapshot& snapshot) {
            snapshot.position = position;
            snapshot.gps_blink = snapshot.gps_blink == 1 ? 0 : 1;
            snapshot.mark(kPositionReadout);
        });
        if (published) published();
    };
    hooks.draw_speed = [&feed, published](float knots) {
        feed.publish([knots](PanelSnapshot& snapshot) {
            snapshot.speed_knots = knots;
            snapshot.mark(kSpeedReadout);
        });
        if (published) published();
    };
    hooks.draw_heading = [&feed, published](float degrees) {
        feed.publish([degrees](PanelSnapshot& snapshot) {
            snapshot.heading_degrees = degrees;
            snapshot.mark(kHeadingReadout);
        });
        if (published) published();
    };
    return hooks;
}

}  // namespace kelvanor
