#include <gtest/gtest.h>

#include "app/application.h"
#include "gui_support.h"

namespace kelvanor {
namespace {

using test::FastClock;
using test::wait_until;
using test::WorkingFolder;

// The demo runs the real head link and GPS reader against the simulated head and receiver
// on pseudo-terminals: pings arrive, the image fills, a position and speed come in.
TEST(Demo, LivePingsAndGpsFixesArrive) {
    WorkingFolder folder;
    FastClock clock;
    StartOptions options;
    options.clock = &clock;
    options.show_logo = false;
    options.watch_signals = false;
    options.unattended = true;
    options.demo = true;
    Application app(std::move(options));
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

}  // namespace
}  // namespace kelvanor
