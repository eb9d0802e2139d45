#include <gtest/gtest.h>

#include <QEvent>
#include <QPaintEvent>
#include <QRegion>

#include <vector>

#include "app/application.h"
#include "gui_support.h"
#include "headlink/link_indicators.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

// The demo, unattended, without the logo.
StartOptions demo_options(Clock& clock) {
    StartOptions options;
    options.clock = &clock;
    options.show_logo = false;
    options.watch_signals = false;
    options.unattended = true;
    options.demo = true;
    return options;
}

// The demo runs the real head link and GPS reader against the simulated head and receiver
// on pseudo-terminals: pings arrive, the image fills, a position and speed come in.
TEST(Demo, LivePingsAndGpsFixesArrive) {
    WorkingFolder folder;
    FastClock clock;
    Application app(demo_options(clock));
    app.start();
    AppState& state = app.state();
    EXPECT_EQ(state.settings.RunMode, RunMode::Head);
    EXPECT_EQ(state.run.gps_enabled, 1)
        << state.link.ports.path(1) << " / " << state.link.ports.path(2);
    ASSERT_TRUE(wait_until([&] { return state.ping.column_history.history_index != 0; }))
        << "no ping was drawn";
    ASSERT_TRUE(wait_until([&] { return state.gps.positions_taken > 0; }))
        << "no GPS fix was taken";
    {
        std::lock_guard lock(state.head.position_text_lock);
        EXPECT_NE(state.head.position_text[0], '\0');
    }
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

// Records the regions the view is asked to paint.
class PaintRegions final : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            regions.push_back(static_cast<QPaintEvent*>(event)->region());
        return false;
    }
    std::vector<QRegion> regions;
};

// Live pings change the image and a few read-outs (the time, the ping star, the position):
// the window paints those, never the whole view again.
TEST(Demo, LivePingsPaintTheImageAndTheReadOutsNotTheWholeWindow) {
    WorkingFolder folder;
    FastClock clock;
    Application app(demo_options(clock));
    app.start();
    AppState& state = app.state();
    ASSERT_TRUE(wait_until([&] { return state.ping.column_history.history_index != 0; }))
        << "no ping was drawn";
    SurfaceView* view = app.window().view();
    PaintRegions paints;
    view->installEventFilter(&paints);
    const int32_t pings = state.link.replies_accepted;
    ASSERT_TRUE(wait_until([&] { return state.link.replies_accepted >= pings + 10; }));
    view->removeEventFilter(&paints);
    ASSERT_FALSE(paints.regions.empty());
    // The panel's corner below the HEAD and FILE buttons never changes with a ping; the ping
    // star changes with each.
    const QPoint still = view->to_view({20, 580});
    const Rect star = ping_indicator_rect(FontMetrics{});
    const QPoint star_centre =
        view->to_view({(star.left + star.right) / 2, (star.top + star.bottom) / 2});
    bool star_painted = false;
    for (const QRegion& region : paints.regions) {
        EXPECT_FALSE(region.contains(still)) << "the whole view was painted";
        star_painted |= region.contains(star_centre);
    }
    EXPECT_TRUE(star_painted);
    app.request_close(CloseOrigin::Window);
    ASSERT_TRUE(wait_until([&] { return app.closed(); }));
}

}  // namespace
}  // namespace kelvanor
